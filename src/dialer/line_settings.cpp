#include "dialer/line_settings.h"

#include <QStringList>

namespace tavelin::dialer {
namespace {

bool allDigits(const QString& s) {
  if (s.isEmpty()) return false;
  for (const QChar c : s)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  return true;
}

std::optional<platform::Parity> parseParity(const QString& s) {
  if (s.size() != 1) return std::nullopt;
  switch (s.at(0).toLower().unicode()) {
    case 'n':
      return platform::Parity::None;
    case 'e':
      return platform::Parity::Even;
    case 'o':
      return platform::Parity::Odd;
    case 'm':
      return platform::Parity::Mark;
    case 's':
      return platform::Parity::Space;
    default:
      return std::nullopt;
  }
}

std::optional<platform::StopBits> parseStopBits(const QString& s) {
  if (s == QLatin1String("1")) return platform::StopBits::One;
  if (s == QLatin1String("1.5")) return platform::StopBits::OneAndHalf;
  if (s == QLatin1String("2")) return platform::StopBits::Two;
  return std::nullopt;
}

}  // namespace

std::optional<platform::LineSettings> parseLineSettings(const QString& text) {
  const QStringList fields = text.split(QLatin1Char(','));
  if (fields.size() != 4) return std::nullopt;
  const QString speedText = fields.at(0).trimmed();
  const QString dataText = fields.at(2).trimmed();
  // Digits only: toInt() alone would also take signs and blanks inside the field.
  if (!allDigits(speedText) || !allDigits(dataText)) return std::nullopt;

  bool ok = false;
  platform::LineSettings line;
  line.baudRate = speedText.toInt(&ok);
  if (!ok || line.baudRate <= 0) return std::nullopt;
  line.dataBits = dataText.toInt(&ok);
  // QSerialPort knows 5 to 8 data bits; the old 4-bit setting has no device behind it here.
  if (!ok || line.dataBits < 5 || line.dataBits > 8) return std::nullopt;

  const auto parity = parseParity(fields.at(1).trimmed());
  const auto stop = parseStopBits(fields.at(3).trimmed());
  if (!parity || !stop) return std::nullopt;
  line.parity = *parity;
  line.stopBits = *stop;
  return line;
}

}  // namespace tavelin::dialer
