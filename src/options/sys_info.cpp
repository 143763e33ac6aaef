#include "options/sys_info.h"

#include <QFileInfo>

#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/platform.h"
#include "platform/registry.h"

namespace tavelin::options {
namespace {

constexpr quint32 kKeyAllAccess = 0x2003F;
constexpr qsizetype kValueBufferSize = 1024;

}  // namespace

bool GetKeyValue(platform::Registry& registry, const quint32& KeyRoot, const QString& KeyName,
                 const QString& SubKeyRef, QString& KeyVal) {
  const auto key = registry.openKey(KeyRoot, KeyName, kKeyAllAccess);
  if (!key) {
    KeyVal.clear();
    return false;
  }
  const auto value = registry.queryValue(*key, SubKeyRef, kValueBufferSize);
  registry.closeKey(*key);
  if (!value) {
    KeyVal.clear();
    return false;
  }

  QByteArray bytes = value->bytes;
  if (!bytes.isEmpty() && bytes.back() == '\0') bytes.chop(1);
  switch (value->type) {
    case platform::kRegString:
      KeyVal = QString::fromLocal8Bit(bytes);
      break;
    case platform::kRegDword:
      // Highest byte first, each without a leading zero.
      KeyVal = QStringLiteral("&h");
      for (qsizetype i = bytes.size() - 1; i >= 0; --i)
        KeyVal += QString::number(static_cast<uchar>(bytes[i]), 16).toUpper();
      break;
    default:
      break;
  }
  return true;
}

void StartSysInfo(platform::Platform& platform) {
  QString path;
  bool found = GetKeyValue(platform.registry(), platform::kHKeyLocalMachine,
                           QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                           QStringLiteral("PATH"), path);
  if (!found) {
    QString folder;
    found = GetKeyValue(platform.registry(), platform::kHKeyLocalMachine,
                        QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                        QStringLiteral("MSINFO"), folder);
    path = folder + QStringLiteral("/MSINFO32.EXE");
    found = found && QFileInfo::exists(path);
  }
  if (found && platform.launcher().start(path, {})) return;
  platform::showMessage(platform.dialogs(),
                        QStringLiteral("System Information Is Unavailable At This Time"));
}

}  // namespace tavelin::options
