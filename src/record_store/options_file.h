#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>

namespace tavelin {

// How the modem dials. Unset is the options window as created, before any file was read.
enum class DialMode { Unset, Tone, Pulse };

// The eleven values of the options file.
struct OptionValues {
  // Check1, Check2, Check3, Check4, Check5, chkTool, chkFancy, chkMulti, in file order; 0 or 1.
  std::array<int, 8> flags{};
  QString port;
  DialMode dialMode = DialMode::Unset;
  QString volume;

  bool operator==(const OptionValues&) const = default;
};

// Number of bytes a file needs before start-up reads it instead of writing the defaults.
inline constexpr qsizetype kMinimumOptionsFileSize = 40;

// Time on title, clear failed search, search on title and multi-user on; Com2, tone, volume 2.
OptionValues defaultOptions();

// The default file as start-up writes it (54 bytes): the volume as an integer, " 2 ".
QByteArray defaultOptionsFile();

// The file as the options dialog writes it: the volume as its plain text.
QByteArray formatOptions(const OptionValues& values);

// Reads a file's content line by line; lines that are missing or damaged give clear flags,
// pulse dialling and empty texts. Any bytes are accepted.
OptionValues parseOptions(QByteArrayView bytes);

}  // namespace tavelin
