#include "sync/card_merge.h"

#include <QHash>
#include <QList>
#include <array>
#include <vector>

#include "exchange/contact.h"
#include "exchange/vcard_reader.h"
#include "exchange/vcard_text.h"
#include "exchange/vcard_writer.h"
#include "record_store/line_reader.h"

namespace tavelin::sync {

using namespace exchange;

namespace {

// One property of the card: where its lines lie in the bytes, and its unfolded text cut up.
struct Property {
  qsizetype begin = 0;
  qsizetype end = 0;  // past the end of its last line
  QByteArray group;
  QByteArray name;
  QList<QByteArray> parameters;
  QByteArray value;
};

// A property as it will be written instead, or left out (empty).
struct Edit {
  bool removed = false;
  QByteArray text;
};

struct Card {
  std::vector<Property> properties;  // between BEGIN and END
  qsizetype end = -1;                // where the END line starts
  bool v4 = false;
};

template <size_t N>
bool is(QByteArrayView a, const char (&b)[N]) {
  return sameName(a, b);
}

// Whether the parameters of the line a property starts with name quoted-printable; quoted
// parameter values say nothing about it (as the reader counts).
bool namesQuotedPrintable(QByteArrayView line) {
  QByteArray head;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (!quoted && c == ':') break;
    if (!quoted) head += c;
  }
  return head.toUpper().contains("QUOTED-PRINTABLE");
}

// "[group.]NAME;param;param:value", quotes in parameters respected.
bool splitProperty(QByteArrayView line, Property& p) {
  bool quoted = false;
  qsizetype start = 0;
  bool named = false;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"' && named) quoted = !quoted;
    if (quoted || (c != ';' && c != ':')) continue;
    const QByteArrayView piece = line.sliced(start, i - start);
    if (!named) {
      const qsizetype dot = piece.lastIndexOf('.');
      p.group = dot < 0 ? QByteArray() : piece.first(dot).toByteArray();
      p.name = (dot < 0 ? piece : piece.sliced(dot + 1)).trimmed().toByteArray();
      named = true;
    } else {
      p.parameters.append(piece.toByteArray());
    }
    start = i + 1;
    if (c == ':') {
      p.value = line.sliced(start).toByteArray();
      return !p.name.isEmpty();
    }
  }
  return false;
}

// "BEGIN:VCARD" or "END:VCARD" exactly as the reader knows them: the name as it stands, blanks
// around the value allowed.
template <size_t N>
bool isMarker(QByteArrayView line, const char (&marker)[N]) {
  const qsizetype colon = line.indexOf(':');
  return colon >= 0 && is(line.first(colon), marker) &&
         is(line.sliced(colon + 1).trimmed(), "VCARD");
}

// The first card's properties with their places. Folded lines are unfolded, and so are
// quoted-printable soft breaks, as the reader does.
std::optional<Card> parseCard(QByteArrayView bytes) {
  Card card;
  bool inCard = false;
  qsizetype pos = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
  while (pos < bytes.size()) {
    const qsizetype begin = pos;
    QByteArray logical;
    bool first = true;
    bool qp = false;
    while (pos < bytes.size()) {
      const qsizetype newline = bytes.indexOf('\n', pos);
      const qsizetype lineEnd = newline < 0 ? bytes.size() : newline;
      QByteArrayView line = bytes.sliced(pos, lineEnd - pos);
      if (line.endsWith('\r')) line.chop(1);
      if (!first) {
        const bool soft = qp && logical.endsWith('=');
        const bool folded = line.startsWith(' ') || line.startsWith('\t');
        if (!soft && !folded) break;
        if (soft) logical.chop(1);
        logical.append(folded ? line.sliced(1) : line);
      } else {
        logical = line.toByteArray();
        qp = namesQuotedPrintable(line);
        first = false;
      }
      pos = newline < 0 ? bytes.size() : newline + 1;
    }
    if (isMarker(logical, "BEGIN")) {
      // A card begun again: the one before was never ended, and the reader drops it too.
      inCard = true;
      card = {};
      continue;
    }
    if (!inCard) continue;
    if (isMarker(logical, "END")) {
      card.end = begin;
      return card;
    }
    Property p;
    p.begin = begin;
    p.end = pos;
    if (!splitProperty(logical, p)) {
      // Not a property the reader could take: kept as it stands, wherever it lies.
      continue;
    }
    if (is(p.name, "VERSION")) card.v4 = p.value.trimmed().startsWith("4");
    card.properties.push_back(std::move(p));
  }
  return std::nullopt;
}

QByteArrayView unquoted(QByteArrayView v) {
  v = v.trimmed();
  if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"')) return v.sliced(1, v.size() - 2);
  return v;
}

QByteArrayView parameterKey(QByteArrayView parameter) {
  const qsizetype equals = parameter.indexOf('=');
  return (equals < 0 ? parameter : parameter.first(equals)).trimmed();
}

QByteArrayView parameterValue(const Property& p, QByteArrayView key) {
  for (const QByteArray& parameter : p.parameters) {
    const qsizetype equals = parameter.indexOf('=');
    if (equals >= 0 && sameName(parameterKey(parameter), key)) {
      return unquoted(QByteArrayView(parameter).sliced(equals + 1));
    }
  }
  return {};
}

bool preferred(const Property& p) {
  for (const QByteArray& parameter : p.parameters) {
    const QByteArrayView key = parameterKey(parameter);
    if (is(key, "PREF")) return true;
    const QByteArray upper = parameter.toUpper();
    if ((is(key, "TYPE") || parameter.indexOf('=') < 0) && upper.contains("PREF")) return true;
  }
  return false;
}

// The value as text, its encoding and character set undone (escapes kept).
QString textOf(const Property& p) {
  QByteArrayView encoding = parameterValue(p, "ENCODING");
  for (const QByteArray& parameter : p.parameters) {
    if (is(parameter.trimmed(), "QUOTED-PRINTABLE") || is(parameter.trimmed(), "BASE64")) {
      encoding = parameter.trimmed();
    }
  }
  const QByteArrayView charset = parameterValue(p, "CHARSET");
  if (is(encoding, "QUOTED-PRINTABLE")) {
    return decodeCharset(decodeQuotedPrintable(p.value), charset);
  }
  if (is(encoding, "BASE64") || is(encoding, "B")) {
    return decodeCharset(QByteArray::fromBase64(p.value), charset);
  }
  return decodeCharset(p.value, charset);
}

bool hasText(QStringView text) {
  for (const QChar c : text) {
    if (c.unicode() > 32 && c.unicode() != 127) return true;
  }
  return false;
}

// Folded at 75 octets, never inside a character, ended with CR LF.
QByteArray folded(QByteArrayView line) {
  QByteArray out;
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
  return out;
}

QByteArray escaped(QStringView text) {
  QString out;
  escapeText(out, text);
  return out.toUtf8();
}

// The property with a new value, written as UTF-8 text: its group and its parameters are
// kept, but for those that said how the old value was written.
QByteArray rewritten(const Property& p, const QByteArray& value, QByteArrayView extra = {},
                     bool dropSlot = false) {
  QByteArray line;
  if (!p.group.isEmpty()) line += p.group + '.';
  line += p.name;
  for (const QByteArray& parameter : p.parameters) {
    const QByteArrayView key = parameterKey(parameter);
    const bool bare = parameter.indexOf('=') < 0;
    if (is(key, "ENCODING") || is(key, "CHARSET") || is(key, "VALUE") || is(key, "LABEL") ||
        (dropSlot && sameName(key, kPhoneSlotParameter))) {
      continue;
    }
    if (bare &&
        (is(key, "QUOTED-PRINTABLE") || is(key, "BASE64") || is(key, "8BIT") || is(key, "7BIT"))) {
      continue;
    }
    line += ';' + parameter;
  }
  line += extra;
  line += ':' + value;
  return folded(line);
}

QByteArray fresh(QByteArrayView head, const QByteArray& value) {
  return folded(QByteArray(head.toByteArray() + ':' + value));
}

QByteArray phoneValue(const QString& number, QByteArray& extra) {
  // A number typed as "tel:..." is text, not the URI it looks like.
  if (number.startsWith(u"tel:", Qt::CaseInsensitive)) extra += ";VALUE=text";
  return escaped(number);
}

QByteArray nameParts(const QString& name) {
  const qsizetype space = name.lastIndexOf(u' ');
  QByteArray value = escaped(QStringView(name).sliced(space + 1));
  value += ';';
  if (space > 0) value += escaped(QStringView(name).first(space).trimmed());
  value += ";;;";
  return value;
}

// Which property each field came from, as the reader chooses.
struct Sources {
  int fullName = -1;
  int nameParts = -1;
  int address = -1;
  std::array<int, kPhoneFields> phones{-1, -1, -1, -1};
  int email = -1;
  int web = -1;
  int uid = -1;
  int version = -1;
  std::vector<int> notes;
  std::vector<int> labels;
  int addresses = 0;
};

Sources sourcesOf(const Card& card) {
  Sources s;
  std::vector<int> phones, emails, addresses;
  for (int i = 0; i < static_cast<int>(card.properties.size()); ++i) {
    const Property& p = card.properties[static_cast<size_t>(i)];
    const QByteArrayView name = p.name;
    if (is(name, "FN")) {
      // The reader takes the first that is not empty.
      if (s.fullName < 0 || (unescapeText(textOf(card.properties[size_t(s.fullName)])).isEmpty() &&
                             !unescapeText(textOf(p)).isEmpty())) {
        s.fullName = i;
      }
    } else if (is(name, "N")) {
      if (s.nameParts < 0) s.nameParts = i;
    } else if (is(name, "TEL")) {
      if (hasText(unescapeText(textOf(p)))) phones.push_back(i);
    } else if (is(name, "EMAIL")) {
      if (hasText(unescapeText(textOf(p)))) emails.push_back(i);
    } else if (is(name, "URL")) {
      if (s.web < 0 && hasText(unescapeText(textOf(p)))) s.web = i;
    } else if (is(name, "ADR")) {
      ++s.addresses;
      const QStringList parts = splitStructured(textOf(p)).mid(0, 7);
      if (std::any_of(parts.begin(), parts.end(), [](const QString& t) { return hasText(t); })) {
        addresses.push_back(i);
      }
    } else if (is(name, "LABEL")) {
      s.labels.push_back(i);
    } else if (is(name, "NOTE")) {
      s.notes.push_back(i);
    } else if (is(name, "UID")) {
      if (s.uid < 0) s.uid = i;
    } else if (is(name, "VERSION")) {
      s.version = i;
    }
  }
  const auto prefers = [&card](std::vector<int>& items) {
    std::stable_partition(items.begin(), items.end(),
                          [&card](int i) { return preferred(card.properties[size_t(i)]); });
  };
  prefers(phones);
  prefers(emails);
  prefers(addresses);
  if (!addresses.empty()) s.address = addresses.front();
  if (!emails.empty()) s.email = emails.front();
  // A slot parameter puts a number in its Phone field when free; the rest fill the gaps.
  for (int i : phones) {
    const int slot = parameterValue(card.properties[size_t(i)], kPhoneSlotParameter).toInt();
    if (slot >= 1 && slot <= kPhoneFields && s.phones[size_t(slot - 1)] < 0) {
      s.phones[size_t(slot - 1)] = i;
    }
  }
  size_t free = 0;
  for (int i : phones) {
    if (std::find(s.phones.begin(), s.phones.end(), i) != s.phones.end()) continue;
    while (free < s.phones.size() && s.phones[free] >= 0) ++free;
    if (free < s.phones.size()) s.phones[free] = i;
  }
  return s;
}

bool changed(const FieldTexts& before, const FieldTexts& after, int from, int count) {
  for (int k = from; k < from + count; ++k) {
    if (before[size_t(k)] != after[size_t(k)]) return true;
  }
  return false;
}

// The note's lines as the reader counts them: a note's trailing blank lines carry nothing.
QStringList noteLines(const Property& p) {
  QStringList lines = unescapeText(textOf(p)).split(u'\n');
  for (QString& line : lines) {
    if (line.endsWith(u'\r')) line.chop(1);
  }
  while (!lines.isEmpty() && !hasText(lines.last())) lines.removeLast();
  return lines;
}

class Merger {
 public:
  Merger(QByteArrayView bytes, const Card& card) : bytes_(bytes), card_(card) {
    edits_.resize(card.properties.size());
  }

  void replace(int i, QByteArray text) { edits_[size_t(i)] = {false, std::move(text)}; }
  void remove(int i) { edits_[size_t(i)] = {true, {}}; }
  void insert(QByteArray text) { inserted_ += text; }
  void insertAfter(int i, QByteArray text) { after_[i] += text; }

  QByteArray result() const {
    QByteArray out;
    out.reserve(bytes_.size() + inserted_.size() + 256);
    qsizetype pos = 0;
    for (size_t i = 0; i < card_.properties.size(); ++i) {
      const Property& p = card_.properties[i];
      out.append(bytes_.sliced(pos, p.begin - pos));
      const Edit& edit = edits_[i];
      if (edit.text.isEmpty() && !edit.removed) {
        out.append(bytes_.sliced(p.begin, p.end - p.begin));
      } else if (!edit.removed) {
        out.append(edit.text);
      }
      if (after_.contains(int(i))) out.append(after_.value(int(i)));
      pos = p.end;
    }
    out.append(bytes_.sliced(pos, card_.end - pos));
    out.append(inserted_);
    out.append(bytes_.sliced(card_.end));
    return out;
  }

 private:
  QByteArrayView bytes_;
  const Card& card_;
  std::vector<Edit> edits_;
  QHash<int, QByteArray> after_;
  QByteArray inserted_;
};

void mergePhones(const Card& card, const Sources& s, const FieldTexts& before,
                 const FieldTexts& after, Merger& merger, bool slotted) {
  for (int k = 0; k < kPhoneFields; ++k) {
    const QString& number = after[size_t(kPhone1 + k)];
    const int at = s.phones[size_t(k)];
    const bool fieldChanged = before[size_t(kPhone1 + k)] != number;
    if (!fieldChanged && !(slotted && at >= 0)) continue;
    QByteArray extra;
    if (slotted) extra += ';' + QByteArray(kPhoneSlotParameter) + '=' + QByteArray::number(k + 1);
    if (at >= 0 && !fieldChanged) {
      // Unchanged, but it must keep its place now that the numbers before it moved.
      const Property& p = card.properties[size_t(at)];
      merger.replace(at, rewritten(p, p.value, extra, true));
      continue;
    }
    if (number.isEmpty()) {
      if (at >= 0) merger.remove(at);
      continue;
    }
    const QByteArray value = phoneValue(number, extra);
    if (at >= 0) {
      merger.replace(at, rewritten(card.properties[size_t(at)], value, extra, true));
    } else {
      merger.insert(fresh(QByteArray("TEL" + extra), value));
    }
  }
}

// A field that one property gives (the first e-mail address, the first web address): that
// property rewritten, taken out when the field was emptied, or added when there was none.
void mergeSingle(const Card& card, int at, const QString& text, const char* head, Merger& merger) {
  const QByteArray value = escaped(text);
  if (at >= 0 && text.isEmpty()) {
    merger.remove(at);
  } else if (at >= 0) {
    merger.replace(at, rewritten(card.properties[size_t(at)], value));
  } else if (!text.isEmpty()) {
    merger.insert(fresh(head, value));
  }
}

void mergeNotes(const Card& card, const Sources& s, const FieldTexts& after, Merger& merger) {
  QStringList lines;
  for (int i : s.notes) lines += noteLines(card.properties[size_t(i)]);
  QStringList text;
  for (int k = 0; k < kNoteLines; ++k) text.append(after[size_t(kNotes2 + k)]);
  if (lines.size() > kNoteLines) {
    text += lines.mid(kNoteLines);  // a longer note keeps its further lines, in their places
  } else {
    while (!text.isEmpty() && !hasText(text.last())) text.removeLast();
  }
  const QByteArray value = escaped(text.join(u'\n'));
  for (size_t n = 0; n < s.notes.size(); ++n) {
    if (n == 0 && !text.isEmpty()) {
      merger.replace(s.notes[0], rewritten(card.properties[size_t(s.notes[0])], value));
    } else {
      merger.remove(s.notes[n]);
    }
  }
  if (s.notes.empty() && !text.isEmpty()) merger.insert(fresh("NOTE", value));
}

QByteArray merged(QByteArrayView bytes, const Card& card, const FieldTexts& before,
                  const FieldTexts& after, const QString& uid, bool slotted) {
  const Sources s = sourcesOf(card);
  Merger merger(bytes, card);
  const int head = s.version >= 0 ? s.version : -1;

  if (before[kFullName] != after[kFullName]) {
    const QByteArray name = escaped(after[kFullName]);
    if (s.fullName >= 0) {
      merger.replace(s.fullName, rewritten(card.properties[size_t(s.fullName)], name));
    } else if (head >= 0) {
      merger.insertAfter(head, fresh("FN", name));
    } else {
      merger.insert(fresh("FN", name));
    }
    if (s.nameParts >= 0) {
      merger.replace(s.nameParts,
                     rewritten(card.properties[size_t(s.nameParts)], nameParts(after[kFullName])));
    } else if (!card.v4) {
      merger.insert(fresh("N", nameParts(after[kFullName])));
    }
  } else if (s.fullName < 0) {
    merger.insert(fresh("FN", escaped(after[kFullName])));  // a card always has its FN
  }

  if (changed(before, after, kAddress1, kAddressLines)) {
    const QString &a1 = after[kAddress1], &a2 = after[kAddress1 + 1], &a3 = after[kAddress1 + 2];
    const bool empty = a1.isEmpty() && a2.isEmpty() && a3.isEmpty();
    const QByteArray value = ";;" + escaped(a1) + ';' + escaped(a2) + ";;;" + escaped(a3);
    if (s.address >= 0) {
      const Property& adr = card.properties[size_t(s.address)];
      if (empty) {
        merger.remove(s.address);
      } else {
        merger.replace(s.address, rewritten(adr, value));
      }
      // The printed form of that one address would tell the old one.
      if (s.addresses == 1) {
        for (int i : s.labels) {
          if (card.properties[size_t(i)].group == adr.group) merger.remove(i);
        }
      }
    } else if (!empty) {
      for (int i : s.labels) merger.remove(i);  // it was the address
      merger.insert(fresh("ADR", value));
    }
  }

  if (changed(before, after, kPhone1, kPhoneFields) || slotted) {
    mergePhones(card, s, before, after, merger, slotted);
  }
  if (before[kEmail] != after[kEmail]) {
    mergeSingle(card, s.email, after[kEmail], card.v4 ? "EMAIL" : "EMAIL;TYPE=INTERNET", merger);
  }
  if (before[kWeb] != after[kWeb]) mergeSingle(card, s.web, after[kWeb], "URL", merger);
  if (changed(before, after, kNotes2, kNoteLines)) mergeNotes(card, s, after, merger);

  if (!uid.isEmpty()) {
    const QByteArray value = uid.toUtf8();
    if (s.uid < 0) {
      merger.insert(fresh("UID", value));
    } else if (card.properties[size_t(s.uid)].value.trimmed() != value) {
      merger.replace(s.uid, fresh("UID", value));
    }
  }
  return merger.result();
}

bool samePhones(const std::optional<FieldTexts>& read, const FieldTexts& after) {
  return read && !changed(*read, after, kPhone1, kPhoneFields);
}

}  // namespace

std::optional<FieldTexts> cardFields(QByteArrayView card) {
  ReadContacts read = readVCards(card);
  if (read.contacts.empty()) return std::nullopt;
  return std::move(read.contacts.front().fields);
}

std::optional<FieldTexts> lineFields(const QString& line) {
  const QByteArray bytes = line.toUtf8();
  const ReadLine read = readLine(bytes, true);
  if (read.kind != LineKind::Record) return std::nullopt;
  FieldTexts fields;
  for (int k = 0; k < kFieldCount; ++k) {
    fields[size_t(k)] = trimBlanks(QString::fromUtf8(read.fields[size_t(k)])).toString();
  }
  return fields;
}

QString fieldsLine(const FieldTexts& fields) {
  return BuildLineFromFields(fields);
}

QString cardUid(QByteArrayView bytes) {
  const std::optional<Card> card = parseCard(bytes);
  if (!card) return {};
  for (const Property& p : card->properties) {
    if (is(p.name, "UID")) return QString::fromUtf8(p.value.trimmed());
  }
  return {};
}

QByteArray newCard(const FieldTexts& fields, const QString& uid) {
  QByteArray written;
  VCardWriter(VCardVersion::V30).write(written, viewsOf(fields));
  if (written.isEmpty()) {
    written = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:\r\nN:;;;;\r\nEND:VCARD\r\n";
  }
  // The writer's UID comes from the name; a synced contact's is its own.
  const std::optional<Card> card = parseCard(written);
  return merged(written, *card, fields, fields, uid, false);
}

QByteArray mergeCard(QByteArrayView bytes, const FieldTexts& before, const FieldTexts& after,
                     const QString& uid) {
  const std::optional<Card> card = parseCard(bytes);
  if (!card) return newCard(after, uid);
  QByteArray out = merged(bytes, *card, before, after, uid, false);
  // Numbers removed or added can move the others to other Phone fields when the card is read
  // again: then each says its field.
  if (changed(before, after, kPhone1, kPhoneFields) && !samePhones(cardFields(out), after)) {
    out = merged(bytes, *card, before, after, uid, true);
  }
  return out;
}

}  // namespace tavelin::sync
