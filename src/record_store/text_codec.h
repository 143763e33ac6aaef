#pragma once

#include <QByteArray>
#include <QString>
#include <QStringEncoder>
#include <QStringView>
#include <vector>

namespace tavelin {

// Text files are read as UTF-8 when their bytes are valid UTF-8, otherwise as Windows-1252,
// so that files written by the Windows program open unchanged.
QString decodeText(QByteArrayView bytes);

// The lines of a text; CR LF, CR and LF each end a line. A last line without an ending
// still counts; an empty text has no lines.
std::vector<QStringView> splitLines(QStringView text);

// Builds the bytes of a text file: UTF-8, every line ended by CR LF.
class LineWriter {
 public:
  explicit LineWriter(qsizetype expectedSize = 0) : out_(expectedSize, Qt::Uninitialized) {}
  void append(QStringView text);      // part of a line
  void appendLine(QStringView line);  // the rest of a line, and its end
  QByteArray take();

 private:
  QStringEncoder encoder_{QStringEncoder::Utf8};
  QByteArray out_;  // its size is the capacity; used_ bytes are written
  qsizetype used_ = 0;
};

}  // namespace tavelin
