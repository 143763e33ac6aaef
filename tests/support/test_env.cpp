#include "support/test_env.h"

#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTest>

namespace tavelin::test {

TestEnvironment::TestEnvironment()
    : previousDir_(QDir::currentPath()), previousConfigHome_(qgetenv("XDG_CONFIG_HOME")) {
  QVERIFY(config_.isValid() && work_.isValid());
  qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
  QDir::setCurrent(work_.path());
}

TestEnvironment::~TestEnvironment() {
  QDir::setCurrent(previousDir_);
  qputenv("XDG_CONFIG_HOME", previousConfigHome_);
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
  QCOMPARE(f.write(bytes), bytes.size());
}

bool leaveLockOfDeadProcess(const QString& lockPath) {
  const pid_t child = fork();
  if (child == 0) {
    QLockFile dying(lockPath);
    _exit(dying.tryLock(0) ? 0 : 1);  // ends without unlocking
  }
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

}  // namespace tavelin::test
