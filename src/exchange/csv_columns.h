#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "exchange/contact.h"

namespace tavelin::exchange {

// What each column of a contacts CSV holds, by its heading as Google (current and older
// layout) and Outlook name it.
struct CsvLayout {
  enum class Role {
    Extra,     // no field takes it: kept aside under its heading
    Skip,      // nothing to keep (a photo's address)
    FullName,  // Name
    First,
    Middle,
    Last,
    Phone,
    PhoneLabel,
    Email,
    EmailLabel,
    Web,
    WebLabel,
    Notes,
    Organization,
    Labels,  // Google's groups
    AddressPart,
    AddressLabel,
  };
  enum AddressPartKind {
    Street,
    Street2,
    City,
    PoBox,
    Region,
    PostalCode,
    Country,
    Extended,
    Formatted
  };
  struct Column {
    Role role = Role::Extra;
    int index = 0;    // Phone n, E-mail n, Website n; the address group
    int part = 0;     // AddressPartKind
    QString heading;  // trimmed
    QString kind;     // Outlook's "Mobile" of "Mobile Phone"
  };
  std::vector<Column> columns;
  int addressGroups = 0;
  bool known = false;  // a column a field takes

  static CsvLayout fromHeadings(const QStringList& headings);
  // The contact of one row; empty when the row holds nothing to keep.
  Contact contactOf(const QStringList& cells) const;
};

// Google's layout as Tavelin writes it.
QStringList googleHeadings();

}  // namespace tavelin::exchange
