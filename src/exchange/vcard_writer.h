#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <memory>
#include <vector>

#include "exchange/contact.h"

class QCryptographicHash;

namespace tavelin::exchange {

enum class VCardVersion { V30, V40 };

// The parameter that says which Phone field a number came from, written only when empty
// Phone fields come before it.
inline constexpr char kPhoneSlotParameter[] = "X-TAVELIN-PHONE";

// Writes one card a record: CR LF line ends, lines folded at 75 octets without splitting a
// character, values escaped for the version. The UID comes from the Full Name, so that it
// stays the same from one export to the next; records of the same name get a suffix in
// list order.
class VCardWriter {
 public:
  explicit VCardWriter(VCardVersion version);
  ~VCardWriter();
  // Appends the record's card; a record without a word in any field has none.
  void write(QByteArray& out, const FieldViews& fields);
  // Counts the record as write would, writing nothing: a writer that goes on from there gives
  // namesakes the UIDs one writer for every record would.
  void passOver(const FieldViews& fields);

 private:
  class Card;

  VCardVersion version_;
  QHash<QStringView, int> namesSeen_;  // views into the records, which outlive the writer's use
  QByteArray folding_;                 // a property too long for one line, being folded
  std::unique_ptr<QCryptographicHash> sha1_;  // made once: every card has a name-based UID
};

QByteArray writeVCards(const std::vector<FieldTexts>& records, VCardVersion version);

// A stable identifier for the n-th record (from 1) of a name.
QString contactUid(QStringView fullName, int occurrence);

}  // namespace tavelin::exchange
