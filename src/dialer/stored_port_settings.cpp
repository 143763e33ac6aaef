#include "dialer/stored_port_settings.h"

#include <QRegularExpression>
#include <QString>
#include <cmath>
#include <limits>
#include <optional>

#include "dialer/comm_control.h"
#include "platform/settings_store.h"

namespace tavelin::dialer {
namespace {

// Text to an integer within [min, max] the way CInt/CLng do it for a decimal number.
std::optional<qint64> basicInteger(const QString& text, qint64 min, qint64 max) {
  static const QRegularExpression number(
      QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
  const QString trimmed = text.trimmed();
  if (!number.match(trimmed).hasMatch()) return std::nullopt;
  bool ok = false;
  const double value = trimmed.toDouble(&ok);
  if (!ok || !std::isfinite(value)) return std::nullopt;

  // Basic rounds a half to the even neighbour: 2.5 -> 2, 3.5 -> 4.
  double rounded = std::round(value);
  if (std::fabs(value - std::trunc(value)) == 0.5 && std::fmod(rounded, 2.0) != 0.0)
    rounded -= std::copysign(1.0, value);
  if (rounded < static_cast<double>(min) || rounded > static_cast<double>(max)) return std::nullopt;
  return static_cast<qint64>(rounded);
}

}  // namespace

void applyStoredPortSettings(CommControl& comm, const platform::SettingsStore& store) {
  const QString group = QStringLiteral("Properties");

  const QString settings = store.value(group, QStringLiteral("Settings"));
  if (!settings.isEmpty()) comm.setSettings(settings);

  const QString port = store.value(group, QStringLiteral("CommPort"));
  if (!port.isEmpty()) {
    if (const auto n = basicInteger(port, std::numeric_limits<qint16>::min(),
                                    std::numeric_limits<qint16>::max()))
      comm.setCommPort(static_cast<int>(*n));
  }

  const QString handshaking = store.value(group, QStringLiteral("Handshaking"));
  if (!handshaking.isEmpty()) {
    if (const auto n = basicInteger(handshaking, std::numeric_limits<qint32>::min(),
                                    std::numeric_limits<qint32>::max()))
      comm.setHandshaking(*n);
  }
}

}  // namespace tavelin::dialer
