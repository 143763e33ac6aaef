#include "platform/launcher.h"

#include <QProcess>

namespace tavelin::platform {

QStringList splitCommandLine(const QString& commandLine) {
  return QProcess::splitCommand(commandLine);
}

}  // namespace tavelin::platform
