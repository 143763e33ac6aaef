#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

#include "record_store/record_lines.h"

namespace tavelin::sync {

// The fourteen fields a card shows, read as an import reads it; nullopt when the bytes hold
// no card that reads as a contact.
std::optional<FieldTexts> cardFields(QByteArrayView card);
// The fields of a data-file line; nullopt for a line that is no record or a blank one.
std::optional<FieldTexts> lineFields(const QString& line);
// The data-file line of the fields, as the window writes it.
QString fieldsLine(const FieldTexts& fields);

// The card's UID; empty when it has none.
QString cardUid(QByteArrayView card);

// A new contact's card: vCard 3.0 with this UID.
QByteArray newCard(const FieldTexts& fields, const QString& uid);

// The card with only the properties changed whose fields differ between before and after:
// FN (and N with it), the address's ADR, the TELs of the Phone fields that changed, the first
// e-mail, the first web address, the notes. Every other line stays byte for byte, and a card
// whose fields did not change comes back as it was. The UID becomes uid when that is given.
// A card that cannot be taken apart is replaced by a new one of the fields after.
QByteArray mergeCard(QByteArrayView card, const FieldTexts& before, const FieldTexts& after,
                     const QString& uid);

}  // namespace tavelin::sync
