#pragma once

#include <QDateTime>
#include <QFile>
#include <QTest>

namespace tavelin::test {

// Gives a file another modification time, so that no test waits for the clock to move on.
inline void setModificationTime(const QString& path, const QDateTime& time) {
  QFile file(path);
  QVERIFY2(file.open(QIODevice::ReadWrite), qPrintable(path));
  QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}

}  // namespace tavelin::test
