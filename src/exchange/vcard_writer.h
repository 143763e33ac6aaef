#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <vector>

#include "exchange/contact.h"

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
  explicit VCardWriter(VCardVersion version) : version_(version) {}
  // Appends the record's card; a record without a word in any field has none.
  void write(QByteArray& out, const FieldViews& fields);

 private:
  void property(QByteArray& out, const char* head, QStringView value);
  void endLine(QByteArray& out);

  VCardVersion version_;
  QHash<QStringView, int> namesSeen_;  // views into the records, which outlive the writer's use
  QByteArray line_;                    // the property being written, before it is folded
};

QByteArray writeVCards(const std::vector<FieldTexts>& records, VCardVersion version);

// A stable identifier for the n-th record (from 1) of a name.
QString contactUid(QStringView fullName, int occurrence);

}  // namespace tavelin::exchange
