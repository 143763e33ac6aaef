#pragma once

#include <QString>
#include <optional>

#include "record_store/atomic_file.h"

namespace tavelin {
class RecordStore;
}

namespace tavelin::exchange {

// What an import did. A failure (a file that could not be read or holds no contacts, or a
// save that could not be written) changed nothing.
struct ImportResult {
  int imported = 0;
  int known = 0;              // already in the address book
  int unreadable = 0;         // cards or rows that could not be read
  int overflowed = 0;         // had more than the fields hold
  bool limitReached = false;  // the rest of the file was not imported
  QString firstLine;          // the data-file line of the first contact added
  std::optional<WriteError> failure;
  // An attached text file that could not be written after the contacts were saved.
  std::optional<WriteError> attachmentFailure;
};

// Reads a vCard or CSV file a piece at a time and adds its new contacts to the loaded
// address book in one save; what the fields do not hold is appended to each contact's
// attached text file in the working directory. The store is not loaded again.
ImportResult importContacts(RecordStore& store, const QString& path);

// "N contacts imported; M were already in the address book; K could not be read."
QString importSummary(const ImportResult& result);

enum class ExportFormat { VCard30, VCard40, Csv };

struct ExportResult {
  int exported = 0;
  std::optional<WriteError> failure;
};

// Writes every record of the loaded address book, in list order, through the atomic writer.
ExportResult exportContacts(const RecordStore& store, const QString& path, ExportFormat format);

// "N contacts exported to FILE."
QString exportSummary(const ExportResult& result, const QString& path);

// The files the import takes by their name: .vcf, .vcard and .csv.
bool isContactsFileName(const QString& path);

}  // namespace tavelin::exchange
