#include "exchange/vcard_writer.h"

#include <QCryptographicHash>
#include <QVarLengthArray>
#include <array>
#include <cstring>
#include <span>

namespace tavelin::exchange {
namespace {

enum class Escape { None, Text, Caret };

// Text as UTF-8, escaped as a text value or as a vCard 4.0 parameter value. A lone half of
// a surrogate pair becomes the replacement character. Written through a pointer into room
// made once: three bytes a UTF-16 unit at the most, escapes included.
void appendUtf8(QByteArray& out, QStringView text, Escape escape) {
  // The ASCII characters no escape of any kind touches: nearly every one of a value.
  static constexpr auto kPlain = [] {
    std::array<bool, 0x80> plain{};
    for (char c = 0x20; c < 0x7F; ++c) {
      plain[c] = c != '\\' && c != ',' && c != ';' && c != '^' && c != '"';
    }
    plain[0x7F] = true;
    return plain;
  }();
  const qsizetype used = out.size();
  out.resize(used + 3 * text.size());
  char* p = out.data() + used;
  for (qsizetype i = 0; i < text.size(); ++i) {
    char32_t c = text[i].unicode();
    if (c < 0x80 && kPlain[c]) {
      *p++ = static_cast<char>(c);
      continue;
    }
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

// Lines as one value, a line break between each two.
void appendLines(QByteArray& out, std::span<const QStringView> lines, Escape escape) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out.append(escape == Escape::Caret ? "^n" : "\\n");
    appendUtf8(out, lines[i], escape);
  }
}

// The name-based (version 5) UUID of RFC 4122 in a namespace of our own, as "urn:uuid:...".
void appendUid(QByteArray& out, QCryptographicHash& sha1, QStringView fullName, int occurrence) {
  static constexpr unsigned char kNamespace[16] = {0x6a, 0x1f, 0x1c, 0x52, 0x3c, 0x1e, 0x4f, 0x55,
                                                   0x9d, 0x0b, 0x7a, 0x5e, 0x2c, 0x0d, 0x8e, 0x41};
  QByteArray key = fullName.toUtf8();
  if (occurrence > 1) key += '#' + QByteArray::number(occurrence);
  sha1.reset();
  sha1.addData(QByteArrayView(kNamespace, sizeof kNamespace));
  sha1.addData(key);
  unsigned char uuid[16];
  std::memcpy(uuid, sha1.resultView().data(), sizeof uuid);
  uuid[6] = static_cast<unsigned char>((uuid[6] & 0x0F) | 0x50);  // version 5
  uuid[8] = static_cast<unsigned char>((uuid[8] & 0x3F) | 0x80);  // the RFC's variant
  char text[] = "urn:uuid:xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx";
  char* p = text + 9;
  constexpr char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) ++p;  // past the hyphen
    *p++ = kHex[uuid[i] >> 4];
    *p++ = kHex[uuid[i] & 0x0F];
  }
  out.append(text, sizeof text - 1);
}

}  // namespace

QString contactUid(QStringView fullName, int occurrence) {
  QCryptographicHash sha1(QCryptographicHash::Sha1);
  QByteArray uid;
  appendUid(uid, sha1, fullName, occurrence);
  return QString::fromLatin1(uid);
}

VCardWriter::VCardWriter(VCardVersion version)
    : version_(version), sha1_(std::make_unique<QCryptographicHash>(QCryptographicHash::Sha1)) {}

VCardWriter::~VCardWriter() = default;

void VCardWriter::endLine(QByteArray& out, qsizetype start) {
  // Folded at 75 octets, never inside a character; each further line starts with a blank.
  // Nearly every line is shorter, and stays as it was written.
  if (out.size() - start > 75) {
    folding_.truncate(0);
    folding_.append(QByteArrayView(out).sliced(start));
    out.truncate(start);
    const QByteArrayView line = folding_;
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
  }
  out.append("\r\n");
}

void VCardWriter::property(QByteArray& out, const char* head, QStringView value) {
  const qsizetype start = out.size();
  out.append(head);
  appendUtf8(out, value, Escape::Text);
  endLine(out, start);
}

void VCardWriter::write(QByteArray& out, const FieldViews& f) {
  if (std::all_of(f.begin(), f.end(), [](QStringView v) { return v.isEmpty(); })) return;
  const bool v4 = version_ == VCardVersion::V40;
  out.append(v4 ? "BEGIN:VCARD\r\nVERSION:4.0\r\n" : "BEGIN:VCARD\r\nVERSION:3.0\r\n");
  const QStringView name = f[kFullName];
  property(out, "FN:", name);

  // The family name is the last word of the name, the given names the words before it.
  const qsizetype space = name.lastIndexOf(u' ');
  qsizetype start = out.size();
  out.append("N:");
  appendUtf8(out, name.sliced(space + 1), Escape::Text);
  out.append(';');
  if (space > 0) appendUtf8(out, name.first(space).trimmed(), Escape::Text);
  out.append(";;;");
  endLine(out, start);

  const QStringView a1 = f[kAddress1], a2 = f[kAddress1 + 1], a3 = f[kAddress1 + 2];
  if (!a1.isEmpty() || !a2.isEmpty() || !a3.isEmpty()) {
    // The printed address: its first line, then the others that hold something.
    QVarLengthArray<QStringView, kAddressLines> label{a1};
    for (QStringView more : {a2, a3}) {
      if (!more.isEmpty()) label.append(more);
    }
    start = out.size();
    if (v4) {
      out.append("ADR;LABEL=\"");
      appendLines(out, label, Escape::Caret);
      out.append("\":;;");
    } else {
      out.append("ADR:;;");
    }
    appendUtf8(out, a1, Escape::Text);
    out.append(';');
    appendUtf8(out, a2, Escape::Text);
    out.append(";;;");
    appendUtf8(out, a3, Escape::Text);
    endLine(out, start);
    if (!v4) {
      start = out.size();
      out.append("LABEL:");
      appendLines(out, label, Escape::Text);
      endLine(out, start);
    }
  }

  int written = 0;
  for (int k = 0; k < kPhoneFields; ++k) {
    const QStringView phone = f[kPhone1 + k];
    if (phone.isEmpty()) continue;
    start = out.size();
    out.append("TEL");
    if (written++ != k) {
      out.append(';');
      out.append(kPhoneSlotParameter);
      out.append('=');
      out.append(QByteArray::number(k + 1));
    }
    // A number typed as "tel:..." is text, not the URI it looks like.
    if (phone.startsWith(u"tel:", Qt::CaseInsensitive)) out.append(";VALUE=text");
    out.append(':');
    appendUtf8(out, phone, Escape::Text);
    endLine(out, start);
  }
  if (!f[kEmail].isEmpty()) property(out, v4 ? "EMAIL:" : "EMAIL;TYPE=INTERNET:", f[kEmail]);
  if (!f[kWeb].isEmpty()) property(out, "URL:", f[kWeb]);
  // The Notes lines as one text, the empty lines after the last one left out.
  int last = kNotes2 + kNoteLines - 1;
  while (last >= kNotes2 && f[last].isEmpty()) --last;
  if (last >= kNotes2) {
    start = out.size();
    out.append("NOTE:");
    appendLines(out, std::span(f).subspan(kNotes2, last - kNotes2 + 1), Escape::Text);
    endLine(out, start);
  }

  const int occurrence = ++namesSeen_[name];
  start = out.size();
  out.append("UID:");
  appendUid(out, *sha1_, name, occurrence);
  endLine(out, start);
  out.append("END:VCARD\r\n");
}

QByteArray writeVCards(const std::vector<FieldTexts>& records, VCardVersion version) {
  QByteArray out;
  VCardWriter writer(version);
  for (const FieldTexts& record : records) writer.write(out, viewsOf(record));
  return out;
}

}  // namespace tavelin::exchange
