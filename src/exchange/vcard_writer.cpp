#include "exchange/vcard_writer.h"

#include <QUuid>

namespace tavelin::exchange {
namespace {

enum class Escape { None, Text, Caret };

// Text as UTF-8, escaped as a text value or as a vCard 4.0 parameter value. A lone half of
// a surrogate pair becomes the replacement character. Written through a pointer into room
// made once: three bytes a UTF-16 unit at the most, escapes included.
void appendUtf8(QByteArray& out, QStringView text, Escape escape) {
  const qsizetype used = out.size();
  out.resize(used + 3 * text.size());
  char* p = out.data() + used;
  for (qsizetype i = 0; i < text.size(); ++i) {
    char32_t c = text[i].unicode();
    if (c < 0x80) {
      const char ascii = static_cast<char>(c);
      if (escape == Escape::Text && (ascii == '\\' || ascii == ',' || ascii == ';')) {
        *p++ = '\\';
      } else if (ascii == '\n') {
        *p++ = escape == Escape::Caret ? '^' : '\\';
        *p++ = 'n';
        continue;
      } else if (ascii == '\r') {
        continue;
      } else if (escape == Escape::Caret && ascii == '^') {
        *p++ = '^';
      } else if (escape == Escape::Caret && ascii == '"') {
        *p++ = '^';
        *p++ = '\'';
        continue;
      }
      *p++ = ascii;
      continue;
    }
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(static_cast<char16_t>(c), text[i + 1].unicode());
      ++i;
    } else if (QChar::isSurrogate(c)) {
      c = 0xFFFD;
    }
    if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
      *p++ = static_cast<char>(0xE0 | (c >> 12));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    } else {
      *p++ = static_cast<char>(0xF0 | (c >> 18));
      *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  out.resize(p - out.constData());
}

// The Notes lines as one text, the empty lines after the last one left out.
QString noteText(const FieldViews& fields) {
  int last = kNotes2 + kNoteLines - 1;
  while (last >= kNotes2 && fields[last].isEmpty()) --last;
  QString text;
  for (int k = kNotes2; k <= last; ++k) {
    if (k > kNotes2) text += QLatin1Char('\n');
    text += fields[k];
  }
  return text;
}

}  // namespace

QString contactUid(QStringView fullName, int occurrence) {
  // A namespace of our own for name-based UUIDs.
  static const QUuid kNamespace(QStringLiteral("{6a1f1c52-3c1e-4f55-9d0b-7a5e2c0d8e41}"));
  QString key = fullName.toString();
  if (occurrence > 1) key += QLatin1Char('#') + QString::number(occurrence);
  return QLatin1StringView("urn:uuid:") +
         QUuid::createUuidV5(kNamespace, key).toString(QUuid::WithoutBraces);
}

void VCardWriter::endLine(QByteArray& out) {
  // Folded at 75 octets, never inside a character; each further line starts with a blank.
  const QByteArrayView line = line_;
  qsizetype pos = 0;
  qsizetype limit = 75;
  while (line.size() - pos > limit) {
    qsizetype cut = pos + limit;
    while (cut > pos + 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    out.append(line.sliced(pos, cut - pos));
    out.append("\r\n ");
    pos = cut;
    limit = 74;
  }
  out.append(line.sliced(pos));
  out.append("\r\n");
  line_.truncate(0);
}

void VCardWriter::property(QByteArray& out, const char* head, QStringView value) {
  line_.append(head);
  appendUtf8(line_, value, Escape::Text);
  endLine(out);
}

void VCardWriter::write(QByteArray& out, const FieldViews& f) {
  if (std::all_of(f.begin(), f.end(), [](QStringView v) { return v.isEmpty(); })) return;
  const bool v4 = version_ == VCardVersion::V40;
  out.append(v4 ? "BEGIN:VCARD\r\nVERSION:4.0\r\n" : "BEGIN:VCARD\r\nVERSION:3.0\r\n");
  const QStringView name = f[kFullName];
  property(out, "FN:", name);

  // The family name is the last word of the name, the given names the words before it.
  const qsizetype space = name.lastIndexOf(u' ');
  line_.append("N:");
  appendUtf8(line_, name.sliced(space + 1), Escape::Text);
  line_.append(';');
  if (space > 0) appendUtf8(line_, name.first(space).trimmed(), Escape::Text);
  line_.append(";;;");
  endLine(out);

  const QStringView a1 = f[kAddress1], a2 = f[kAddress1 + 1], a3 = f[kAddress1 + 2];
  if (!a1.isEmpty() || !a2.isEmpty() || !a3.isEmpty()) {
    QString label = a1.toString();
    for (QStringView more : {a2, a3}) {
      if (!more.isEmpty()) label += QLatin1Char('\n') + more.toString();
    }
    if (v4) {
      line_.append("ADR;LABEL=\"");
      appendUtf8(line_, label, Escape::Caret);
      line_.append("\":;;");
    } else {
      line_.append("ADR:;;");
    }
    appendUtf8(line_, a1, Escape::Text);
    line_.append(';');
    appendUtf8(line_, a2, Escape::Text);
    line_.append(";;;");
    appendUtf8(line_, a3, Escape::Text);
    endLine(out);
    if (!v4) property(out, "LABEL:", label);
  }

  int written = 0;
  for (int k = 0; k < kPhoneFields; ++k) {
    const QStringView phone = f[kPhone1 + k];
    if (phone.isEmpty()) continue;
    line_.append("TEL");
    if (written++ != k) {
      line_.append(';');
      line_.append(kPhoneSlotParameter);
      line_.append('=');
      line_.append(QByteArray::number(k + 1));
    }
    // A number typed as "tel:..." is text, not the URI it looks like.
    if (phone.startsWith(u"tel:", Qt::CaseInsensitive)) line_.append(";VALUE=text");
    property(out, ":", phone);
  }
  if (!f[kEmail].isEmpty()) property(out, v4 ? "EMAIL:" : "EMAIL;TYPE=INTERNET:", f[kEmail]);
  if (!f[kWeb].isEmpty()) property(out, "URL:", f[kWeb]);
  const QString notes = noteText(f);
  if (!notes.isEmpty()) property(out, "NOTE:", notes);

  const int occurrence = ++namesSeen_[name];
  line_.append("UID:");
  appendUtf8(line_, contactUid(name, occurrence), Escape::None);
  endLine(out);
  out.append("END:VCARD\r\n");
}

QByteArray writeVCards(const std::vector<FieldTexts>& records, VCardVersion version) {
  QByteArray out;
  VCardWriter writer(version);
  for (const FieldTexts& record : records) writer.write(out, viewsOf(record));
  return out;
}

}  // namespace tavelin::exchange
