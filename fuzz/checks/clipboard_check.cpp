// The clipboard import: the pieces fit the fields, and a record made of them is saved and read
// back as exactly those values.
#include "fuzz_checks.h"
#include "output/clipboard_text.h"
#include "record_store/file_contents.h"
#include "record_store/record_lines.h"

namespace tavelin::fuzz {
namespace {

// The first byte says how the rest becomes the clipboard's text: UTF-8 as most programs offer
// it, or UTF-16 units as they come, half characters included.
QString clipboardText(QByteArrayView bytes) {
  if (bytes.isEmpty()) return {};
  const QByteArrayView rest = bytes.sliced(1);
  if ((bytes[0] & 1) == 0) return QString::fromUtf8(rest);
  QString units(rest.size() / 2, Qt::Uninitialized);
  for (qsizetype i = 0; i < units.size(); ++i) {
    units[i] = QChar(static_cast<char16_t>(static_cast<unsigned char>(rest[2 * i]) |
                                           static_cast<unsigned char>(rest[2 * i + 1]) << 8));
  }
  return units;
}

}  // namespace

QString checkClipboardImport(QByteArrayView bytes) {
  const QString text = clipboardText(bytes);
  const FieldTexts pieces = output::importPieces(text);
  for (const QString& piece : pieces) {
    if (piece.size() >= kFieldWidth) return QStringLiteral("a piece of 80 characters or more");
    for (const QChar c : piece) {
      if (c == u',' || c.unicode() < 32) return QStringLiteral("a comma or control character");
    }
    if (piece.startsWith(u' ') || piece.endsWith(u' ')) return QStringLiteral("blanks kept");
    if (text.isValidUtf16() && !piece.isValidUtf16()) {
      return QStringLiteral("a piece holds half a character");
    }
  }
  if (!text.isValidUtf16()) return {};

  // Every piece typed into its field, then the record saved and the file read back.
  FileContents contents;
  const QByteArray file = (BuildLineFromFields(pieces) + QStringLiteral("\r\n")).toUtf8();
  if (!loadContents(file, contents).isEmpty() || contents.placeholder) {
    return QStringLiteral("the saved record is not read back");
  }
  for (int k = 0; k < kFieldCount; ++k) {
    if (contents.table.value(0, k) != ReplaceQuotes(pieces[k])) {
      return QStringLiteral("field %1 reads back otherwise").arg(k);
    }
  }
  if (contents.write(-1, QString()) != file) return QStringLiteral("the rewrite differs");
  return {};
}

}  // namespace tavelin::fuzz
