#pragma once

#include <QString>
#include <QTime>

namespace tavelin::mail {

// The most characters the message text holds.
inline constexpr qsizetype kMaxMessageLength = 32768;

// "Malvek Quilla", then " (hh:mm)" when the time is on and "  (date)" when the date is on.
QString mailerTitle(bool timeOn, bool dateOn, QTime now, const QString& shortDate);

// "Message Size: N Kb", or the warning once the text is full.
QString statusLine(qsizetype characters);

}  // namespace tavelin::mail
