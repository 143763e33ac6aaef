#include "support/test_env.h"

#include <QDir>
#include <QFile>
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

}  // namespace tavelin::test
