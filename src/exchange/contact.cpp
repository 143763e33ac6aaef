#include "exchange/contact.h"

#include <algorithm>
#include <cstring>

namespace tavelin::exchange {
namespace {

bool hasText(QStringView text);

QString joined(std::initializer_list<const QString*> parts, QLatin1StringView separator) {
  QString out;
  for (const QString* part : parts) {
    if (!hasText(*part)) continue;
    const QString text = fieldText(*part);
    if (!out.isEmpty()) out += separator;
    out += text;
  }
  return out;
}

// A field holds 80 characters; a longer text keeps its start there (never half a
// character) and goes whole to the attached text file. The text is a field's already.
void placeText(Contact& contact, int position, QString text, const QString& label,
               const QString& kind = {}) {
  if (text.size() > kFieldWidth) {
    appendLabelled(contact.overflow, label, kind, text);
    qsizetype cut = kFieldWidth;
    if (text[cut - 1].isHighSurrogate()) --cut;
    text = trimBlanks(QStringView(text).first(cut)).toString();
  }
  contact.fields[position] = std::move(text);
}

void place(Contact& contact, int position, const QString& value, const QString& label,
           const QString& kind = {}) {
  placeText(contact, position, fieldText(value), label, kind);
}

// Whether the field made of the text would hold a word: anything but blanks and control
// characters. No copy is made.
bool hasText(QStringView text) {
  for (const QChar ch : text) {
    if (ch.unicode() > 32 && ch.unicode() != 127) return true;
  }
  return false;
}

// The preferred items first, each group in the order it came. Most cards prefer nothing:
// then the partition's buffer is not worth making.
template <typename T>
void prefersFirst(std::vector<T>& items) {
  const auto preferred = [](const T& item) { return item.preferred; };
  if (std::any_of(items.begin(), items.end(), preferred)) {
    std::stable_partition(items.begin(), items.end(), preferred);
  }
}

}  // namespace

bool Contact::isEmpty() const {
  return std::all_of(fields.begin(), fields.end(), [](const QString& f) { return f.isEmpty(); });
}

bool hasNoWord(const FieldViews& fields) {
  return std::all_of(fields.begin(), fields.end(), [](QStringView f) { return f.isEmpty(); });
}

FieldViews viewsOf(const FieldTexts& fields) {
  FieldViews views;
  for (int k = 0; k < kFieldCount; ++k) views[k] = fields[k];
  return views;
}

namespace {

// Whether any of the four UTF-16 units in a word is a control character, a quote or DEL:
// the tests for a zero and for a unit below a bound, on all four at once.
bool anyUnplain(quint64 units) {
  constexpr quint64 kOnes = 0x0001000100010001, kHigh = 0x8000800080008000;
  const auto anyZero = [](quint64 w) { return (w - kOnes) & ~w & kHigh; };
  const quint64 anyBelowBlank = (units - 0x20 * kOnes) & ~units & kHigh;
  return (anyBelowBlank | anyZero(units ^ (u'"' * kOnes)) | anyZero(units ^ (0x7F * kOnes))) != 0;
}

// Every value read passes here, most of them more than once.
bool isPlain(QStringView value) {
  qsizetype i = 0;
  for (; i + 4 <= value.size(); i += 4) {
    quint64 units;
    std::memcpy(&units, value.data() + i, sizeof units);
    if (anyUnplain(units)) return false;
  }
  for (; i < value.size(); ++i) {
    const char16_t u = value[i].unicode();
    if (u < 32 || u == u'"' || u == 127) return false;
  }
  return true;
}

}  // namespace

QString fieldText(const QString& value) {
  // Most values are plain already, without blanks around them: then they are kept as they are.
  if (isPlain(value) && trimBlanks(value).size() == value.size()) return value;
  return fieldText(QStringView(value));
}

QString fieldText(QStringView value) {
  if (isPlain(value)) return trimBlanks(value).toString();
  // The lines of a multi-line value (a street of two lines) stay apart on one line; the
  // blank lines among them are left out.
  QString out;
  out.reserve(value.size());
  for (QStringView line : value.tokenize(u'\n')) {
    QString text;
    text.reserve(line.size());
    for (const QChar c : line) {
      if (c.unicode() < 32 || c.unicode() == 127) {
        text += QLatin1Char(' ');
      } else {
        text += c == u'"' ? QChar(u'\'') : c;
      }
    }
    const QStringView kept = trimBlanks(text);
    if (kept.isEmpty()) continue;
    if (!out.isEmpty()) out += QLatin1StringView(", ");
    out += kept;
  }
  return out;
}

bool PostalAddress::isEmpty() const {
  for (const QString* part :
       {&poBox, &extended, &street, &locality, &region, &postalCode, &country}) {
    if (hasText(*part)) return false;
  }
  return true;
}

void appendLabelled(QStringList& lines, const QString& label, const QString& kind,
                    const QString& value) {
  // One line of the text file for each line of the value; a label or kind read from a
  // file may hold line breaks of its own, which become blanks like any control character.
  const auto oneLine = [](QStringView text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
      out += (c.unicode() < 32 && c != u'\t') || c.unicode() == 127 ? QChar(u' ') : c;
    }
    return out.trimmed();
  };
  QString head = oneLine(label);
  if (!kind.isEmpty()) head += QLatin1StringView(" (") + oneLine(kind) + QLatin1Char(')');
  head += QLatin1StringView(": ");
  for (QStringView line : QStringView(value).split(u'\n')) {
    const QString text = oneLine(line);
    if (!text.isEmpty()) lines.append(head + text);
  }
}

void ContactBuilder::reset() {
  fullName_.clear();
  named_ = false;
  family_.clear();
  given_.clear();
  additional_.clear();
  organization_.clear();
  phones_.clear();
  emails_.clear();
  webs_.clear();
  addresses_.clear();
  noteLines_.clear();
  extras_.clear();
  kept_ = 0;
}

bool ContactBuilder::keep(qsizetype chars) {
  kept_ += chars;
  return !tooBig();
}

void ContactBuilder::setFullName(const QString& name) {
  named_ = true;
  if (fullName_.isEmpty() && keep(name.size())) fullName_ = name;
}

void ContactBuilder::setNameParts(const QString& family, const QString& given,
                                  const QString& additional) {
  if (!family_.isEmpty() || !given_.isEmpty() || !additional_.isEmpty()) return;
  if (!keep(family.size() + given.size() + additional.size())) return;
  family_ = family;
  given_ = given;
  additional_ = additional;
}

void ContactBuilder::addOrganization(const QString& organization) {
  if (!hasText(organization)) return;
  if (organization_.isEmpty() && keep(organization.size())) organization_ = organization;
  addExtra(QStringLiteral("Organization"), organization);
}

void ContactBuilder::addPhone(const QString& number, const QString& kind, bool preferred,
                              int slot) {
  if (hasText(number) && keep(number.size() + kind.size())) {
    phones_.push_back({number, kind, preferred, slot >= 1 && slot <= kPhoneFields ? slot : 0});
  }
}

void ContactBuilder::addEmail(const QString& address, const QString& kind, bool preferred) {
  if (hasText(address) && keep(address.size() + kind.size())) {
    emails_.push_back({address, kind, preferred, 0});
  }
}

void ContactBuilder::addWeb(const QString& address, const QString& kind) {
  if (hasText(address) && keep(address.size() + kind.size())) {
    webs_.push_back({address, kind, false, 0});
  }
}

void ContactBuilder::addAddress(const PostalAddress& address, const QString& kind, bool preferred) {
  if (address.isEmpty()) return;
  const qsizetype size = address.poBox.size() + address.extended.size() + address.street.size() +
                         address.locality.size() + address.region.size() +
                         address.postalCode.size() + address.country.size();
  if (keep(size + kind.size())) addresses_.push_back({address, kind, preferred});
}

void ContactBuilder::addNote(const QString& text) {
  if (!keep(text.size())) return;
  // Blank lines before a note's text keep the places of the Notes lines after them; after
  // it they carry nothing.
  QStringView kept(text);
  while (!kept.isEmpty()) {
    const qsizetype lastBreak = kept.lastIndexOf(u'\n');
    if (hasText(kept.sliced(lastBreak + 1))) break;
    kept.truncate(std::max<qsizetype>(lastBreak, 0));
  }
  if (kept.isEmpty()) return;
  for (QStringView line : kept.tokenize(u'\n')) {
    if (line.endsWith(u'\r')) line.chop(1);
    noteLines_.append(line.toString());
  }
}

void ContactBuilder::addExtra(const QString& label, const QString& value) {
  if (keep(label.size() + value.size())) appendLabelled(extras_, label, {}, value);
}

Contact ContactBuilder::finish() {
  Contact contact;
  contact.overflow = extras_;
  prefersFirst(phones_);
  prefersFirst(emails_);
  prefersFirst(addresses_);

  QString name = fieldText(fullName_);
  if (name.isEmpty()) name = joined({&given_, &additional_, &family_}, QLatin1StringView(" "));
  if (name.isEmpty() && !named_) name = fieldText(organization_);
  if (name.isEmpty() && !named_ && !emails_.empty()) name = fieldText(emails_.front().value);
  placeText(contact, kFullName, name, QStringLiteral("Full Name"));

  const QString addressLabel = QStringLiteral("Address");
  for (size_t i = 0; i < addresses_.size(); ++i) {
    const PostalAddress& a = addresses_[i].address;
    if (i == 0) {
      placeText(contact, kAddress1,
                joined({&a.street, &a.extended, &a.poBox}, QLatin1StringView(", ")), addressLabel,
                addresses_[i].kind);
      placeText(contact, kAddress1 + 1,
                joined({&a.postalCode, &a.locality}, QLatin1StringView(" ")), addressLabel,
                addresses_[i].kind);
      placeText(contact, kAddress1 + 2, joined({&a.region, &a.country}, QLatin1StringView(", ")),
                addressLabel, addresses_[i].kind);
    } else {
      appendLabelled(contact.overflow, addressLabel, addresses_[i].kind,
                     joined({&a.street, &a.extended, &a.poBox, &a.postalCode, &a.locality,
                             &a.region, &a.country},
                            QLatin1StringView(", ")));
    }
  }

  const QString phoneLabel = QStringLiteral("Phone");
  std::array<const Item*, kPhoneFields> slots{};
  for (const Item& phone : phones_) {
    if (phone.slot > 0 && !slots[phone.slot - 1]) slots[phone.slot - 1] = &phone;
  }
  size_t free = 0;
  for (const Item& phone : phones_) {
    if (phone.slot > 0 && slots[phone.slot - 1] == &phone) continue;
    while (free < slots.size() && slots[free]) ++free;
    if (free < slots.size()) {
      slots[free] = &phone;
    } else {
      appendLabelled(contact.overflow, phoneLabel, phone.kind, phone.value);
    }
  }
  for (int i = 0; i < kPhoneFields; ++i) {
    if (slots[i]) place(contact, kPhone1 + i, slots[i]->value, phoneLabel, slots[i]->kind);
  }
  const QString emailLabel = QStringLiteral("E-mail");
  for (size_t i = 0; i < emails_.size(); ++i) {
    if (i == 0) {
      place(contact, kEmail, emails_[i].value, emailLabel, emails_[i].kind);
    } else {
      appendLabelled(contact.overflow, emailLabel, emails_[i].kind, emails_[i].value);
    }
  }
  const QString webLabel = QStringLiteral("Web address");
  for (size_t i = 0; i < webs_.size(); ++i) {
    if (i == 0) {
      place(contact, kWeb, webs_[i].value, webLabel, webs_[i].kind);
    } else {
      appendLabelled(contact.overflow, webLabel, webs_[i].kind, webs_[i].value);
    }
  }
  const QString noteLabel = QStringLiteral("Note");
  for (qsizetype i = 0; i < noteLines_.size(); ++i) {
    if (i < kNoteLines) {
      place(contact, kNotes2 + static_cast<int>(i), noteLines_[i], noteLabel);
    } else {
      appendLabelled(contact.overflow, noteLabel, {}, noteLines_[i]);
    }
  }
  return contact;
}

}  // namespace tavelin::exchange
