#include "dialer/modem_commands.h"

namespace tavelin::dialer {
namespace {

const QString kOk = QStringLiteral("OK\r\n");

}  // namespace

QString dialDigits(QStringView phone) {
  QString digits;
  for (const QChar c : phone) {
    if (c >= u'0' && c <= u'9') digits += c;
  }
  return digits;
}

QString volumeDigit(QStringView volume) {
  // The list offers 0 to 3; anything else typed or read from the options file must not become
  // part of a modem command.
  if (volume.size() == 1 && volume[0] >= u'0' && volume[0] <= u'3') return volume.toString();
  return {};
}

QString resetCommand(QStringView volume) {
  return QStringLiteral("AT&F") + (volume == u"0" ? u"M0" : u"M1") + QStringLiteral("\r\n");
}

QString dialCommand(QStringView volume, bool tone, QStringView digits) {
  return QStringLiteral("ATH0L") + volumeDigit(volume) + (tone ? u"DT" : u"DP") + digits +
         QStringLiteral(";\r\n");
}

bool OkWatch::feed(QStringView received) {
  if (answered_) return true;
  // "OK" CR LF may lie within what arrived or begin in what was kept from before.
  const qsizetype keep = kOk.size() - 1;
  const QString joined = tail_ + received.left(keep);
  if (received.contains(kOk) || joined.contains(kOk)) {
    answered_ = true;
    tail_.clear();
    return true;
  }
  // Only the last characters can still be the start of it.
  tail_ = received.size() >= keep ? received.right(keep).toString()
                                  : QString(tail_ + received).right(keep);
  return false;
}

}  // namespace tavelin::dialer
