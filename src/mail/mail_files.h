#pragma once

#include <QString>
#include <QStringView>
#include <optional>

#include "platform/dialogs.h"
#include "record_store/atomic_file.h"

namespace tavelin::mail {

// The mail editor's two files in the fixed folder.
QString signOffFilePath(const QString& configRoot);  // personal.sig
QString fontFilePath(const QString& configRoot);     // tavelin.cf1

// The first line of personal.sig; nothing when the file is missing, unreadable or empty.
std::optional<QString> readSignOff(const QString& path);
// personal.sig as exactly that line and CR LF, replacing the old file in one step.
std::optional<WriteError> writeSignOff(const QString& path, const QString& signOff);

// The editor's font before any file is read.
platform::FontChoice designedFont();

// A single-precision number as the print statement writes it: a blank or the minus sign,
// the digits, one trailing blank (9 is " 9 ", 10.5 is " 10.5 ").
QString printNumber(double value);

// tavelin.cf1: name, size, italic, bold on four lines ended by CR LF.
QString fontFileText(const platform::FontChoice& font);
// What a font file gives: name and size where the lines hold them (else the designed ones),
// italic and bold on when their line holds a "T" anywhere.
platform::FontChoice parseFontFile(QStringView text);
// The font the editor starts with: the file's, or the designed one without effects.
platform::FontChoice readFontFile(const QString& path);
std::optional<WriteError> writeFontFile(const QString& path, const platform::FontChoice& font);

// OpenText's reading: every line followed by a blank and CR LF, until the text holds the
// most the message takes or more; incomplete tells that reading stopped there.
struct LoadedText {
  QString text;
  bool incomplete = false;
};
LoadedText loadMessageText(QStringView fileText);

}  // namespace tavelin::mail
