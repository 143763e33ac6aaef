#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringView>
#include <vector>

#include "record_store/page_buffer.h"

namespace tavelin {

// Text files are read as UTF-8 when their bytes are valid UTF-8, otherwise as Windows-1252,
// so that files written by the Windows program open unchanged.
QString decodeText(QByteArrayView bytes);
bool isValidUtf8(QByteArrayView bytes);
// The character that Windows-1252 gives a byte.
char16_t cp1252ToUnicode(unsigned char byte);

// The lines of a text; CR LF, CR and LF each end a line. A last line without an ending
// still counts; an empty text has no lines.
std::vector<QStringView> splitLines(QStringView text);
std::vector<QByteArrayView> splitLines(QByteArrayView bytes);

// Decodes one line at a time into a buffer it reuses: the view is valid until the next call.
class LineDecoder {
 public:
  explicit LineDecoder(bool utf8) : utf8_(utf8) {}
  QStringView decode(QByteArrayView line);
  // A field of the given line, decoded; its first maxBytes bytes at the most. The line is
  // decoded once for all its fields; valid until the next call.
  QStringView field(QByteArrayView field, QByteArrayView line, qsizetype maxBytes);

 private:
  bool utf8_;
  // Every character as it stands: a byte-order mark at the start of a piece is no mark here.
  QStringDecoder decoder_{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                    QStringDecoder::Flag::ConvertInitialBom};
  QString buffer_;
  QByteArrayView line_;       // the line buffer_ holds
  bool lineIsAscii_ = false;  // then a byte offset is a character offset
  QString fieldBuffer_;
};

// Builds the bytes of a text file: UTF-8, every line ended by CR LF.
class LineWriter {
 public:
  explicit LineWriter(qsizetype expectedSize = 0) { reserve(expectedSize); }
  // Room for this many bytes in all; what is written so far is kept.
  void reserve(qsizetype bytes);
  void append(QStringView text);              // part of a line
  void appendLine(QStringView line);          // the rest of a line, and its end
  void appendBytesLine(QByteArrayView line);  // a line already encoded, and its end
  QByteArray take();
  // The bytes written so far, and a new start that keeps the room for more.
  QByteArrayView written() const { return QByteArrayView(out_.data(), used_); }
  void restart() { used_ = 0; }
  // Hands over the buffer holding what was written, for its bytes to outlive the next write,
  // and takes the given one (kept from an earlier write, or empty) in its place.
  void exchange(PageBuffer<char>& buffer) {
    out_.swap(buffer);
    used_ = 0;
  }

  // For callers that write a line piece by piece: room for maxBytes, the place to write,
  // encode() to put text there, and done() with where the writing ended.
  char* room(qsizetype maxBytes);
  char* encode(char* out, QStringView text);
  void done(char* end) { used_ = end - out_.data(); }

 private:
  // Stateless: half a character at the end of one piece is not carried into the next.
  QStringEncoder encoder_{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
  PageBuffer<char> out_;  // used_ bytes are written
  qsizetype used_ = 0;
};

}  // namespace tavelin
