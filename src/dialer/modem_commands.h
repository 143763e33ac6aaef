#pragma once

#include <QString>
#include <QStringView>

namespace tavelin::dialer {

// The Hayes commands of one call and the reading of the modem's answer.

// The digits "0" to "9" of a telephone text, in order; everything else is dropped.
QString dialDigits(QStringView phone);

// The speaker-volume text as it may go into a command: one of "0" to "3", otherwise empty.
QString volumeDigit(QStringView volume);

// Factory settings and the speaker: "AT&F", "M0" for volume "0" and "M1" otherwise, CR LF.
QString resetCommand(QStringView volume);

// Dial and return to command mode: "ATH0L", the volume digit, "DT" or "DP", the digits, ";",
// CR LF.
QString dialCommand(QStringView volume, bool tone, QStringView digits);

// On hook; a CR alone ends it.
inline const QString kHangUpCommand = QStringLiteral("ATH0\r");

// Watches what the modem sends for "OK" followed by CR LF. It holds only the last few
// characters, so a modem that talks without end cannot make it grow.
class OkWatch {
 public:
  // Adds what has arrived; true from the moment "OK" CR LF has been seen.
  bool feed(QStringView received);
  bool answered() const { return answered_; }
  qsizetype held() const { return tail_.size(); }

 private:
  QString tail_;
  bool answered_ = false;
};

}  // namespace tavelin::dialer
