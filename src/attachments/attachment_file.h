#pragma once

#include <QString>
#include <optional>

namespace tavelin::attachments {

// The attachment of a record is the text file "<full name>.ATA" in the working directory.
// A name that would reach outside that folder ("/", NUL, "." or "..") has no attachment.
std::optional<QString> attachmentFileName(const QString& fullName);

// True when the record's attachment exists as an ordinary file.
bool hasAttachment(const QString& fullName);

}  // namespace tavelin::attachments
