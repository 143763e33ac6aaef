#include "attachments/attachment_file.h"

#include <QFileInfo>

namespace tavelin::attachments {

std::optional<QString> attachmentFileName(const QString& fullName) {
  if (fullName.contains(QLatin1Char('/')) || fullName.contains(QChar(u'\0')) ||
      fullName == QLatin1String(".") || fullName == QLatin1String("..")) {
    return std::nullopt;
  }
  return fullName + QStringLiteral(".ATA");
}

bool hasAttachment(const QString& fullName) {
  const auto name = attachmentFileName(fullName);
  return name && QFileInfo(*name).isFile();
}

}  // namespace tavelin::attachments
