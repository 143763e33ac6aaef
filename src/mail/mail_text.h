#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringView>

namespace tavelin::mail {

// The mail editor's text operations, on the text in its CR LF form.

// Keeps the characters with codes 9 to 127 and drops every other one (NUL to BS and every
// non-ASCII character, whatever its encoding).
QString CleanText(QStringView selection);

// Every run of line breaks becomes one space; spaces before a break go, the rest stays.
QString JoinLines(QStringView selection);

// "Hello <name>," and an empty line before the text, and the sign-off after it: the stored
// sign-off without its outer spaces, each "|" a line break.
QString ApplyGreeting(QStringView text, QStringView fullName, QStringView storedSignOff);

// What "Now" inserts: the short date, " at ", the short time and one blank.
QString InsertDateTime(const QDateTime& now, const QLocale& locale);

// Spaces (code 32 only) removed from both ends.
QStringView trimSpaces(QStringView text);

}  // namespace tavelin::mail
