#pragma once

namespace tavelin {

// The fourteen fields of a record, in the order of the data file's columns and of the text
// boxes Text1..Text14. A plain enum in a namespace, so that a field indexes a column or a box
// as it is: Text[Field::Phone1], table.value(row, Field::EMail).
namespace Field {
enum Index : int {
  FullName,  // the key of the list and of the sort
  Address1,
  Address2,
  Address3,
  Phone1,  // the one Enter and a double click dial
  Phone2,
  Phone3,
  Phone4,
  EMail,
  Notes1,  // shown as the web address ("URL")
  Notes2,
  Notes3,
  Notes4,
  Notes5,
};
}  // namespace Field

}  // namespace tavelin
