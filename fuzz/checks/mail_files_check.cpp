// The mail editor's files: the font file read and written back, the sign-off's first line and
// a text file opened into the message.
#include "fuzz_checks.h"
#include "mail/mail_files.h"
#include "mail/mailer_status.h"
#include "record_store/text_codec.h"

namespace tavelin::fuzz {

using namespace mail;

QString checkMailFiles(QByteArrayView bytes) {
  const QString text = decodeText(bytes);

  const platform::FontChoice font = parseFontFile(text);
  if (font.name.trimmed().isEmpty()) return QStringLiteral("a font without a name");
  if (font.name.contains(u'\r') || font.name.contains(u'\n')) {
    return QStringLiteral("a line end in the font name");
  }
  if (!(font.size > 0)) return QStringLiteral("a font size that is not positive");
  // What the editor writes back reads as the same font, once the size is printed.
  const platform::FontChoice again = parseFontFile(fontFileText(font));
  if (again.name != font.name || again.italic != font.italic || again.bold != font.bold) {
    return QStringLiteral("the written font file reads otherwise");
  }
  if (!(parseFontFile(fontFileText(again)) == again)) {
    return QStringLiteral("a second write of the font file reads otherwise");
  }

  // Every line followed by a blank and CR LF, up to the line that fills the message.
  const LoadedText loaded = loadMessageText(text);
  QString whole;
  for (QStringView line : splitLines(text)) {
    if (whole.size() >= kMaxMessageLength) break;
    whole += line + QStringLiteral(" \r\n");
  }
  if (loaded.text != whole) return QStringLiteral("the opened text lost or gained characters");
  if (loaded.incomplete != (whole.size() >= kMaxMessageLength)) {
    return QStringLiteral("incomplete does not match the length");
  }
  return {};
}

}  // namespace tavelin::fuzz
