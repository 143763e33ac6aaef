#pragma once

#include <QString>

#include "record_store/record_lines.h"

namespace tavelin::output {

// Full Name and the three address lines, each ended by CR LF, empty ones included.
QString addressClipText(const FieldTexts& fields);
// Every field that is not empty, in field order, each ended by CR LF.
QString recordClipText(const FieldTexts& fields);

// The clipboard text cut into the fourteen pieces for the fields, in field order: a piece ends
// at a comma, a control character or its 80th character, which it loses; after anything but a
// comma the character that follows is skipped (the LF of a CR LF); blanks around a piece go.
// An empty piece leaves its field as it is.
FieldTexts importPieces(const QString& clipboardText);

}  // namespace tavelin::output
