#include "mail/mail_files.h"

#include <QFile>

#include "mail/mailer_status.h"
#include "record_store/paths.h"
#include "record_store/text_codec.h"

namespace tavelin::mail {
namespace {

std::optional<QString> readText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  return decodeText(file.readAll());
}

}  // namespace

QString signOffFilePath(const QString& configRoot) {
  return fixedFolder(configRoot) + QStringLiteral("/personal.sig");
}

QString fontFilePath(const QString& configRoot) {
  return fixedFolder(configRoot) + QStringLiteral("/tavelin.cf1");
}

std::optional<QString> readSignOff(const QString& path) {
  const std::optional<QString> text = readText(path);
  if (!text) return std::nullopt;
  const std::vector<QStringView> lines = splitLines(*text);
  if (lines.empty()) return std::nullopt;
  return lines.front().toString();
}

std::optional<WriteError> writeSignOff(const QString& path, const QString& signOff) {
  return writeFileAtomically(path, (signOff + QStringLiteral("\r\n")).toUtf8());
}

platform::FontChoice designedFont() {
  return {QStringLiteral("Courier New"), 9, false, false};
}

QString printNumber(double value) {
  const QString digits = QString::number(value < 0 ? -value : value, 'g', 7);
  return (value < 0 ? QStringLiteral("-") : QStringLiteral(" ")) + digits + QLatin1Char(' ');
}

QString fontFileText(const platform::FontChoice& font) {
  const auto word = [](bool on) { return on ? QStringLiteral("True") : QStringLiteral("False"); };
  return font.name + QStringLiteral("\r\n") + printNumber(font.size) + QStringLiteral("\r\n") +
         word(font.italic) + QStringLiteral("\r\n") + word(font.bold) + QStringLiteral("\r\n");
}

platform::FontChoice parseFontFile(QStringView text) {
  platform::FontChoice font = designedFont();
  const std::vector<QStringView> lines = splitLines(text);
  const auto line = [&lines](size_t i) { return i < lines.size() ? lines[i] : QStringView(); };
  if (!line(0).trimmed().isEmpty()) font.name = line(0).toString();
  bool ok = false;
  const double size = line(1).trimmed().toDouble(&ok);
  if (ok && size > 0) font.size = size;
  font.italic = line(2).contains(QLatin1Char('T'));
  font.bold = line(3).contains(QLatin1Char('T'));
  return font;
}

platform::FontChoice readFontFile(const QString& path) {
  const std::optional<QString> text = readText(path);
  return text ? parseFontFile(*text) : designedFont();
}

std::optional<WriteError> writeFontFile(const QString& path, const platform::FontChoice& font) {
  return writeFileAtomically(path, fontFileText(font).toUtf8());
}

LoadedText loadMessageText(QStringView fileText) {
  LoadedText loaded;
  for (const QStringView line : splitLines(fileText)) {
    loaded.text += line + QStringLiteral(" \r\n");
    if (loaded.text.size() >= kMaxMessageLength) {
      loaded.incomplete = true;
      break;
    }
  }
  return loaded;
}

}  // namespace tavelin::mail
