#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace tavelin::exchange {

// Whether a name read from a file is the given upper-case ASCII name, in any case. Names
// are compared a great many times a card: no length is counted, no locale asked.
template <size_t N>
bool sameName(QByteArrayView name, const char (&upper)[N]) {
  if (name.size() != static_cast<qsizetype>(N - 1)) return false;
  for (size_t i = 0; i + 1 < N; ++i) {
    char c = name[static_cast<qsizetype>(i)];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
}

// The same for a name whose length is known at run time.
inline bool sameName(QByteArrayView name, QByteArrayView upper) {
  if (name.size() != upper.size()) return false;
  for (qsizetype i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
}

// Quoted-printable decoded; an "=" that starts no escape stays as it is.
QByteArray decodeQuotedPrintable(QByteArrayView bytes);

// Bytes in the named character set (empty: UTF-8 when they are valid UTF-8, otherwise
// Windows-1252, as every text file is read). ISO-8859-1 is read as Windows-1252, its
// superset; a character set nobody knows is read as if none were named.
QString decodeCharset(QByteArrayView bytes, QByteArrayView charset);

// A text value's backslash escapes undone: \n and \N a line break, \\ \, \; \: the character.
// Any other backslash stays.
QString unescapeText(QStringView text);
QString unescapeText(QString&& text);  // the text itself when it holds no backslash
// A structured value (N, ADR, ORG) cut at each unescaped ";", each part unescaped.
QStringList splitStructured(QStringView text);
// A parameter value with vCard 4.0's caret escapes undone (^n, ^^, ^').
QString uncaret(QStringView text);

// A value escaped as a text value: backslash, comma, semicolon and line breaks.
void escapeText(QString& out, QStringView text);

}  // namespace tavelin::exchange
