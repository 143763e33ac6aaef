#include "exchange/vcard_writer.h"

#include <QCryptographicHash>
#include <QVarLengthArray>
#include <array>
#include <cstring>
#include <span>

namespace tavelin::exchange {
namespace {

enum class Escape { None, Text, Caret };

// Text as UTF-8, escaped as a text value or as a vCard 4.0 parameter value, written at p;
// returns the end. A lone half of a surrogate pair becomes the replacement character. It
// takes three bytes a UTF-16 unit at the most, escapes included.
char* writeUtf8(char* p, QStringView text, Escape escape) {
  // The ASCII characters no escape of any kind touches: nearly every one of a value.
  static constexpr auto kPlain = [] {
    std::array<bool, 0x80> plain{};
    for (char c = 0x20; c < 0x7F; ++c) {
      plain[c] = c != '\\' && c != ',' && c != ';' && c != '^' && c != '"';
    }
    plain[0x7F] = true;
    return plain;
  }();
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
  return p;
}

// The most one card of these fields can take. Each field is written twice at the most (the
// name in FN and N, the address in ADR and its label), three bytes a UTF-16 unit; the names,
// parameters and line ends come to less than 512 bytes, and folding adds three bytes every
// 74 and at most three a line: seven bytes a unit and 1024 cover all of it.
qsizetype cardRoom(const FieldViews& fields) {
  qsizetype units = 0;
  for (QStringView field : fields) units += field.size();
  return 7 * units + 1024;
}

// The name-based (version 5) UUID of RFC 4122 in a namespace of our own, as "urn:uuid:...";
// returns the end.
char* writeUid(char* p, QCryptographicHash& sha1, QStringView fullName, int occurrence) {
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
  constexpr char kPrefix[] = "urn:uuid:";
  std::memcpy(p, kPrefix, sizeof kPrefix - 1);
  p += sizeof kPrefix - 1;
  constexpr char kHex[] = "0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) *p++ = '-';
    *p++ = kHex[uuid[i] >> 4];
    *p++ = kHex[uuid[i] & 0x0F];
  }
  return p;
}

}  // namespace

// One card written through a pointer into room made once (cardRoom), cut to its length
// when done: a card is some fifteen properties, and each append to the output costs more
// than the few bytes it copies.
class VCardWriter::Card {
 public:
  Card(QByteArray& out, qsizetype room, QByteArray& folding) : out_(out), folding_(folding) {
    const qsizetype used = out.size();
    out.resize(used + room);
    begin_ = out.data();
    p_ = begin_ + used;
  }
  ~Card() {
    Q_ASSERT(p_ - begin_ <= out_.size());  // within the room made
    out_.truncate(p_ - begin_);
  }
  Card(const Card&) = delete;
  Card& operator=(const Card&) = delete;

  void put(QByteArrayView bytes) {
    std::memcpy(p_, bytes.data(), static_cast<size_t>(bytes.size()));
    p_ += bytes.size();
  }
  void put(char c) { *p_++ = c; }
  void text(QStringView value, Escape escape = Escape::Text) { p_ = writeUtf8(p_, value, escape); }
  // Lines as one value, a line break between each two.
  void lines(std::span<const QStringView> lines, Escape escape) {
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i > 0) put(escape == Escape::Caret ? "^n" : "\\n");
      text(lines[i], escape);
    }
  }
  void uid(QCryptographicHash& sha1, QStringView fullName, int occurrence) {
    p_ = writeUid(p_, sha1, fullName, occurrence);
  }
  void beginLine(const char* head) {
    line_ = p_;
    put(head);
  }
  // Folded at 75 octets, never inside a character; each further line starts with a blank.
  // Nearly every line is shorter, and stays as it was written.
  void endLine() {
    if (p_ - line_ > 75) {
      folding_.truncate(0);
      folding_.append(line_, p_ - line_);
      p_ = line_;
      const QByteArrayView line = folding_;
      qsizetype pos = 0;
      qsizetype limit = 75;
      while (line.size() - pos > limit) {
        qsizetype cut = pos + limit;
        while (cut > pos + 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        put(line.sliced(pos, cut - pos));
        put("\r\n ");
        pos = cut;
        limit = 74;
      }
      put(line.sliced(pos));
    }
    put("\r\n");
  }
  void property(const char* head, QStringView value) {
    beginLine(head);
    text(value);
    endLine();
  }

 private:
  QByteArray& out_;
  QByteArray& folding_;
  char* begin_;
  char* p_;
  char* line_ = nullptr;  // where the property being written starts
};

QString contactUid(QStringView fullName, int occurrence) {
  QCryptographicHash sha1(QCryptographicHash::Sha1);
  char uid[64];
  return QString::fromLatin1(uid, writeUid(uid, sha1, fullName, occurrence) - uid);
}

VCardWriter::VCardWriter(VCardVersion version)
    : version_(version), sha1_(std::make_unique<QCryptographicHash>(QCryptographicHash::Sha1)) {}

VCardWriter::~VCardWriter() = default;

void VCardWriter::passOver(const FieldViews& f) {
  if (!hasNoWord(f)) ++namesSeen_[f[kFullName]];
}

void VCardWriter::write(QByteArray& out, const FieldViews& f) {
  if (hasNoWord(f)) return;
  const bool v4 = version_ == VCardVersion::V40;
  Card card(out, cardRoom(f), folding_);
  card.put(v4 ? "BEGIN:VCARD\r\nVERSION:4.0\r\n" : "BEGIN:VCARD\r\nVERSION:3.0\r\n");
  const QStringView name = f[kFullName];
  card.property("FN:", name);

  // The family name is the last word of the name, the given names the words before it.
  const qsizetype space = name.lastIndexOf(u' ');
  card.beginLine("N:");
  card.text(name.sliced(space + 1));
  card.put(';');
  if (space > 0) card.text(name.first(space).trimmed());
  card.put(";;;");
  card.endLine();

  const QStringView a1 = f[kAddress1], a2 = f[kAddress1 + 1], a3 = f[kAddress1 + 2];
  if (!a1.isEmpty() || !a2.isEmpty() || !a3.isEmpty()) {
    // The printed address: its first line, then the others that hold something.
    QVarLengthArray<QStringView, kAddressLines> label{a1};
    for (QStringView more : {a2, a3}) {
      if (!more.isEmpty()) label.append(more);
    }
    if (v4) {
      card.beginLine("ADR;LABEL=\"");
      card.lines(label, Escape::Caret);
      card.put("\":;;");
    } else {
      card.beginLine("ADR:;;");
    }
    card.text(a1);
    card.put(';');
    card.text(a2);
    card.put(";;;");
    card.text(a3);
    card.endLine();
    if (!v4) {
      card.beginLine("LABEL:");
      card.lines(label, Escape::Text);
      card.endLine();
    }
  }

  int written = 0;
  for (int k = 0; k < kPhoneFields; ++k) {
    const QStringView phone = f[kPhone1 + k];
    if (phone.isEmpty()) continue;
    card.beginLine("TEL");
    if (written++ != k) {
      card.put(';');
      card.put(kPhoneSlotParameter);
      card.put('=');
      card.put(static_cast<char>('1' + k));
    }
    // A number typed as "tel:..." is text, not the URI it looks like.
    if (phone.startsWith(u"tel:", Qt::CaseInsensitive)) card.put(";VALUE=text");
    card.put(':');
    card.text(phone);
    card.endLine();
  }
  if (!f[kEmail].isEmpty()) card.property(v4 ? "EMAIL:" : "EMAIL;TYPE=INTERNET:", f[kEmail]);
  if (!f[kWeb].isEmpty()) card.property("URL:", f[kWeb]);
  // The Notes lines as one text, the empty lines after the last one left out.
  int last = kNotes2 + kNoteLines - 1;
  while (last >= kNotes2 && f[last].isEmpty()) --last;
  if (last >= kNotes2) {
    card.beginLine("NOTE:");
    card.lines(std::span(f).subspan(kNotes2, last - kNotes2 + 1), Escape::Text);
    card.endLine();
  }

  card.beginLine("UID:");
  card.uid(*sha1_, name, ++namesSeen_[name]);
  card.endLine();
  card.put("END:VCARD\r\n");
}

QByteArray writeVCards(const std::vector<FieldTexts>& records, VCardVersion version) {
  QByteArray out;
  VCardWriter writer(version);
  for (const FieldTexts& record : records) writer.write(out, viewsOf(record));
  return out;
}

}  // namespace tavelin::exchange
