// What the exchange suites share: cards, records written as one line, readers fed in pieces.
#pragma once

#include <QStringList>

#include "exchange/contact.h"

namespace tavelin::test {

using exchange::Contact;
using exchange::ReadContacts;

inline QByteArray card(const QByteArray& body) {
  return "BEGIN:VCARD\r\n" + body + "END:VCARD\r\n";
}

// A record's fields joined by '|', the empty ones after the last full one left out: the form
// expected records are written in.
inline QString joined(const FieldTexts& f) {
  QString out = QStringList(f.begin(), f.end()).join(u'|');
  while (out.endsWith(u'|')) out.chop(1);
  return out;
}

inline FieldTexts fieldsOf(const QString& joinedFields) {
  FieldTexts f;
  const QStringList parts = joinedFields.split(u'|');
  for (qsizetype k = 0; k < parts.size(); ++k) f[size_t(k)] = parts[k];
  return f;
}

inline QStringList joinedAll(const ReadContacts& read) {
  QStringList out;
  for (const Contact& c : read.contacts) out << joined(c.fields);
  return out;
}

inline QStringList namesOf(const ReadContacts& read) {
  QStringList out;
  for (const Contact& c : read.contacts) out << c.fields[exchange::kFullName];
  return out;
}

// The bytes fed to a Reader in pieces of the given size.
template <typename Reader>
ReadContacts readInPieces(QByteArrayView bytes, qsizetype piece) {
  ReadContacts read;
  Reader reader([&read](Contact&& c) { read.contacts.push_back(std::move(c)); });
  for (qsizetype at = 0; at < bytes.size(); at += piece) {
    reader.feed(bytes.sliced(at, std::min(piece, bytes.size() - at)));
  }
  reader.finish();
  read.unreadable = reader.unreadable();
  if constexpr (requires { reader.hasHeader(); }) {
    read.anyCard = reader.hasHeader();
  } else {
    read.anyCard = reader.cards() > 0;
  }
  return read;
}

}  // namespace tavelin::test
