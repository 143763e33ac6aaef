#include "platform/qt/qt_launcher.h"

#include <QProcess>
#include <QStandardPaths>

namespace tavelin::platform {

bool QtLauncher::start(const QString& program, const QStringList& arguments) {
  if (program.isEmpty()) return false;
  return QProcess::startDetached(program, arguments);
}

QString QtLauncher::findProgram(const QString& name) const {
  return QStandardPaths::findExecutable(name);
}

}  // namespace tavelin::platform
