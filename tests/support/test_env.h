#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace tavelin::test {

// A private configuration folder (XDG_CONFIG_HOME) and working directory for one test,
// so that no test touches the real home. Restores the previous working directory.
class TestEnvironment {
 public:
  TestEnvironment();
  ~TestEnvironment();

  QString configRoot() const { return config_.path(); }
  QString workDir() const { return work_.path(); }
  QString workPath(const QString& name) const { return work_.filePath(name); }

 private:
  QTemporaryDir config_;
  QTemporaryDir work_;
  QString previousDir_;
  QByteArray previousConfigHome_;
};

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

// Takes a lock file in a child process that ends without unlocking it, as a copy that dies
// while saving does. False when the child could not take it.
bool leaveLockOfDeadProcess(const QString& lockPath);

}  // namespace tavelin::test
