#include "exchange/vcard_text.h"

#include <QStringDecoder>

#include "record_store/text_codec.h"

namespace tavelin::exchange {
namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool namedAs(QByteArrayView charset, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (charset.compare(QByteArrayView(name), Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

QString decodeCp1252(QByteArrayView bytes) {
  QString out(bytes.size(), Qt::Uninitialized);
  QChar* dst = out.data();
  for (char c : bytes) *dst++ = QChar(cp1252ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

// UTF-8 with a byte-order mark at its start kept as the character it is: a value is never
// the start of a file, and dropping it would make a value read twice read otherwise.
QString fromUtf8(QByteArrayView bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8,
                         QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
  return decoder.decode(bytes);
}

}  // namespace

QByteArray decodeQuotedPrintable(QByteArrayView bytes) {
  QByteArray out;
  out.reserve(bytes.size());
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '=' && i + 2 < bytes.size()) {
      const int high = hexDigit(bytes[i + 1]);
      const int low = hexDigit(bytes[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += c;
  }
  return out;
}

QString decodeCharset(QByteArrayView bytes, QByteArrayView charset) {
  const bool unnamed = charset.isEmpty() || namedAs(charset, {"US-ASCII", "ASCII"});
  if (unnamed || namedAs(charset, {"UTF-8", "UTF8"})) {
    // Most values are plain ASCII, which needs no decoder.
    if (QtPrivate::isAscii(QLatin1StringView(bytes))) return QString::fromLatin1(bytes);
    return !unnamed || isValidUtf8(bytes) ? fromUtf8(bytes) : decodeCp1252(bytes);
  }
  if (namedAs(charset, {"ISO-8859-1", "ISO8859-1", "LATIN1", "WINDOWS-1252", "CP1252"})) {
    return decodeCp1252(bytes);
  }
  QStringDecoder decoder(charset.toByteArray().constData());
  if (!decoder.isValid()) return decodeCharset(bytes, {});
  QString out = decoder.decode(bytes);
  return out;
}

QString unescapeText(QStringView text) {
  if (!text.contains(u'\\')) return text.toString();
  // Never longer than the text: written through a pointer into room made once.
  QString out(text.size(), Qt::Uninitialized);
  QChar* dst = out.data();
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c != u'\\' || i + 1 == text.size()) {
      *dst++ = c;
      continue;
    }
    const QChar next = text[i + 1];
    if (next == u'n' || next == u'N') {
      *dst++ = QLatin1Char('\n');
    } else if (next == u'\\' || next == u',' || next == u';' || next == u':') {
      *dst++ = next;
    } else {
      *dst++ = c;
      continue;
    }
    ++i;
  }
  out.truncate(dst - out.constData());
  return out;
}

QString unescapeText(QString&& text) {
  if (!text.contains(u'\\')) return std::move(text);
  return unescapeText(QStringView(text));
}

QStringList splitStructured(QStringView text) {
  // An address has seven parts, a name five; most parts hold no escape, or nothing at all.
  QStringList parts;
  parts.reserve(7);
  qsizetype start = 0;
  bool escaped = false;
  const auto cut = [&](qsizetype end) {
    const QStringView part = text.sliced(start, end - start);
    parts.append(escaped ? unescapeText(part) : part.toString());
    start = end + 1;
    escaped = false;
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'\\') {
      escaped = true;
      ++i;
    } else if (text[i] == u';') {
      cut(i);
    }
  }
  cut(text.size());
  return parts;
}

QString uncaret(QStringView text) {
  if (!text.contains(u'^')) return text.toString();
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'^' && i + 1 < text.size()) {
      const QChar next = text[i + 1];
      if (next == u'n' || next == u'N' || next == u'^' || next == u'\'') {
        out += next == u'^' ? QChar(u'^') : next == u'\'' ? QChar(u'"') : QChar(u'\n');
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

void escapeText(QString& out, QStringView text) {
  for (const QChar c : text) {
    switch (c.unicode()) {
      case u'\\':
      case u',':
      case u';':
        out += QLatin1Char('\\');
        out += c;
        break;
      case u'\n':
        out += QLatin1StringView("\\n");
        break;
      case u'\r':
        break;
      default:
        out += c;
    }
  }
}

}  // namespace tavelin::exchange
