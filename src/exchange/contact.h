#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <vector>

#include "record_store/record_lines.h"

namespace tavelin::exchange {

// The positions of the fourteen fields as the exchange fills them.
enum FieldPosition {
  kFullName = 0,
  kAddress1 = 1,  // Address 2 and 3 follow
  kPhone1 = 4,    // Phone 2..4 follow
  kEmail = 8,
  kWeb = 9,     // Notes 1, the web line
  kNotes2 = 10  // Notes 3..5 follow
};
constexpr int kAddressLines = 3;
constexpr int kPhoneFields = 4;
constexpr int kNoteLines = 4;  // Notes 2..5

// One contact read from another program: the fourteen fields as the table would store them,
// and what does not fit there as readable "Label: value" lines for its attached text file.
struct Contact {
  FieldTexts fields;
  QStringList overflow;

  // No word in any field: nothing a record could show, whatever is kept aside.
  bool isEmpty() const;
};

// A record's fields as the writers take them, without copying the table's text.
using FieldViews = std::array<QStringView, kFieldCount>;
FieldViews viewsOf(const FieldTexts& fields);
// A record without a word in any field: no card and no row is written for it.
bool hasNoWord(const FieldViews& fields);

// A field's text as the table stores it: control characters as blanks, quotes as apostrophes,
// no blanks at either end.
QString fieldText(QStringView value);
QString fieldText(const QString& value);  // the same text, shared, when it is plain already

// A postal address in vCard's seven parts.
struct PostalAddress {
  QString poBox, extended, street, locality, region, postalCode, country;
  bool isEmpty() const;
};

// Collects what one card or one CSV row says about a person, in the order it comes, and then
// fits it into the fourteen fields. Everything kept is bounded: past kMaxKeptChars the
// contact is too big and is not taken.
class ContactBuilder {
 public:
  static constexpr qsizetype kMaxKeptChars = 1 << 20;

  // A card that names no one is named after its organization or e-mail address instead; one
  // with an empty name stays without.
  void setFullName(const QString& name);
  void setNameParts(const QString& family, const QString& given, const QString& additional);
  void addOrganization(const QString& organization);  // also kept aside
  // A slot (1..4) puts the number in that Phone field when it is free, so that a record's
  // empty Phone fields between others survive a round trip.
  void addPhone(const QString& number, const QString& kind, bool preferred, int slot = 0);
  void addEmail(const QString& address, const QString& kind, bool preferred);
  void addWeb(const QString& address, const QString& kind);
  void addAddress(const PostalAddress& address, const QString& kind, bool preferred);
  // Notes 2..5 take the note's lines in turn; what is left is kept aside.
  void addNote(const QString& text);
  // Kept aside as "label: value" lines (one a line of the value).
  void addExtra(const QString& label, const QString& value);

  // Empty again for the next card, keeping the room its lists have taken.
  void reset();

  bool tooBig() const { return kept_ > kMaxKeptChars; }
  bool hasAddress() const { return !addresses_.empty(); }
  Contact finish();

 private:
  struct Item {
    QString value;
    QString kind;
    bool preferred = false;
    int slot = 0;
  };
  struct AddressItem {
    PostalAddress address;
    QString kind;
    bool preferred = false;
  };
  bool keep(qsizetype chars);

  QString fullName_;
  bool named_ = false;
  QString family_, given_, additional_;
  QString organization_;
  std::vector<Item> phones_, emails_, webs_;
  std::vector<AddressItem> addresses_;
  QStringList noteLines_;
  QStringList extras_;
  qsizetype kept_ = 0;
};

// What a reader (VCardReader, CsvReader) makes of a file given whole.
struct ReadContacts {
  std::vector<Contact> contacts;
  int unreadable = 0;
  bool anyCard = false;  // a card, or a CSV header, was there at all
};

// Feeds the bytes to a Reader at once; anyCard(reader) says whether it found a card at all.
template <typename Reader, typename AnyCard>
ReadContacts readWhole(QByteArrayView bytes, AnyCard anyCard) {
  ReadContacts read;
  Reader reader([&read](Contact&& c) { read.contacts.push_back(std::move(c)); });
  reader.feed(bytes);
  reader.finish();
  read.unreadable = reader.unreadable();
  read.anyCard = anyCard(reader);
  return read;
}

// "Label (kind): value" lines for the attached text file, one a line of the value.
void appendLabelled(QStringList& lines, const QString& label, const QString& kind,
                    const QString& value);

}  // namespace tavelin::exchange
