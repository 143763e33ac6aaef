#include "output/clipboard_text.h"

namespace tavelin::output {
namespace {

const QLatin1String kLineEnd("\r\n");

}  // namespace

QString addressClipText(const FieldTexts& fields) {
  QString text;
  for (int k = 0; k < 4; ++k) text += fields[k] + kLineEnd;
  return text;
}

QString recordClipText(const FieldTexts& fields) {
  QString text;
  for (const QString& field : fields) {
    if (!field.isEmpty()) text += field + kLineEnd;
  }
  return text;
}

FieldTexts importPieces(const QString& clipboardText) {
  const QString text = clipboardText + kLineEnd;
  FieldTexts pieces;
  qsizetype position = 0;  // counted from 1: the character last taken
  for (QString& piece : pieces) {
    QChar last;
    bool pastEnd = false;
    for (;;) {
      ++position;
      pastEnd = position > text.size();
      if (pastEnd) break;  // the empty text: nothing to append
      last = text[position - 1];
      piece += last;
      if (last == QLatin1Char(',') || last.unicode() < 32 || piece.size() == kFieldWidth) break;
    }
    if (pastEnd || last != QLatin1Char(',')) {
      ++position;
      // A character of two halves is skipped whole.
      if (position < text.size() && text[position - 1].isHighSurrogate() &&
          text[position].isLowSurrogate()) {
        ++position;
      }
    }
    // The character that ended the piece goes; past the end there is none.
    if (!pastEnd) piece.chop(1);
    // A cut between the halves of a character takes the first half too.
    if (!piece.isEmpty() && piece.back().isHighSurrogate()) piece.chop(1);
    piece = trimBlanks(piece).toString();
  }
  return pieces;
}

}  // namespace tavelin::output
