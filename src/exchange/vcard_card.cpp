// One card's properties into a contact: parameters, encodings, character sets, escapes and
// the mapping onto the fourteen fields.
#include <QHash>
#include <QVarLengthArray>

#include "exchange/vcard_reader.h"
#include "exchange/vcard_text.h"
#include "exchange/vcard_writer.h"

namespace tavelin::exchange {
namespace {

struct Property {
  QByteArrayView group;
  QByteArrayView name;
  QByteArrayView value;
  QByteArrayView encoding;
  QByteArrayView charset;
  QByteArrayView valueType;
  QVarLengthArray<QByteArrayView, 4> types;  // "pref" left out
  bool preferred = false;
  int slot = 0;  // the Phone field our own export wrote the number from
};

template <size_t N>
bool is(QByteArrayView a, const char (&b)[N]) {
  return sameName(a, b);
}

QByteArrayView unquoted(QByteArrayView v) {
  v = v.trimmed();
  if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"')) return v.sliced(1, v.size() - 2);
  return v;
}

void addType(Property& p, QByteArrayView type) {
  type = unquoted(type);
  if (type.isEmpty()) return;
  if (is(type, "PREF")) {
    p.preferred = true;
  } else {
    p.types.append(type);
  }
}

void addParameter(Property& p, QByteArrayView parameter) {
  const qsizetype equals = parameter.indexOf('=');
  if (equals < 0) {
    // vCard 2.1's bare parameters: an encoding or a type.
    const QByteArrayView bare = parameter.trimmed();
    if (is(bare, "QUOTED-PRINTABLE") || is(bare, "BASE64") || is(bare, "8BIT") ||
        is(bare, "7BIT")) {
      p.encoding = bare;
    } else {
      addType(p, bare);
    }
    return;
  }
  const QByteArrayView key = parameter.first(equals).trimmed();
  const QByteArrayView value = parameter.sliced(equals + 1);
  if (is(key, "TYPE")) {
    // TYPE=work,voice and TYPE="work,voice" alike.
    const QByteArrayView inner = unquoted(value);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= inner.size(); ++i) {
      if (i == inner.size() || inner[i] == ',') {
        addType(p, inner.sliced(start, i - start));
        start = i + 1;
      }
    }
  } else if (is(key, "ENCODING")) {
    p.encoding = unquoted(value);
  } else if (is(key, "CHARSET")) {
    p.charset = unquoted(value);
  } else if (is(key, "VALUE")) {
    p.valueType = unquoted(value);
  } else if (is(key, "PREF")) {
    p.preferred = true;
  } else if (is(key, kPhoneSlotParameter)) {
    p.slot = unquoted(value).toInt();
  }
}

// "[group.]NAME;param;param:value", the colon and semicolons inside quotes not counted.
bool parseProperty(QByteArrayView line, Property& p) {
  bool quoted = false;
  qsizetype start = 0;
  bool named = false;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"' && named) {
      quoted = !quoted;
      continue;
    }
    if (quoted || (c != ';' && c != ':')) continue;
    const QByteArrayView piece = line.sliced(start, i - start);
    if (!named) {
      qsizetype dot = piece.size() - 1;
      while (dot >= 0 && piece[dot] != '.') --dot;
      p.group = dot < 0 ? QByteArrayView() : piece.first(dot);
      p.name = (dot < 0 ? piece : piece.sliced(dot + 1)).trimmed();
      named = true;
    } else {
      addParameter(p, piece);
    }
    start = i + 1;
    if (c == ':') {
      p.value = line.sliced(start);
      return !p.name.isEmpty();
    }
  }
  return false;
}

QString textOf(const Property& p) {
  if (is(p.encoding, "QUOTED-PRINTABLE")) {
    return decodeCharset(decodeQuotedPrintable(p.value), p.charset);
  }
  if (is(p.encoding, "BASE64") || is(p.encoding, "B")) {
    return decodeCharset(QByteArray::fromBase64(p.value.toByteArray()), p.charset);
  }
  return decodeCharset(p.value, p.charset);
}

// The kinds worth keeping beside a value kept aside: "work", "cell", or Apple's own label.
QString kindOf(const Property& p, const QHash<QByteArray, QString>& groupLabels) {
  if (!p.group.isEmpty()) {
    const auto label = groupLabels.constFind(p.group.toByteArray().toUpper());
    if (label != groupLabels.constEnd()) return *label;
  }
  QString kinds;
  for (QByteArrayView type : p.types) {
    if (is(type, "VOICE") || is(type, "INTERNET") || is(type, "X400") || is(type, "TEXT")) {
      continue;
    }
    if (!kinds.isEmpty()) kinds += QLatin1StringView(", ");
    kinds += QString::fromUtf8(type).toLower();
  }
  return kinds;
}

// Apple's "_$!<HomePage>!$_" reads "HomePage".
QString abLabel(const QString& text) {
  if (text.startsWith(u"_$!<") && text.endsWith(u">!$_")) return text.mid(4, text.size() - 8);
  return text;
}

// A tel: URI as a number to read and dial, its extension kept.
QString phoneNumber(const Property& p, const QString& text) {
  QString value = unescapeText(QString(text));
  if (const QStringView kept = trimBlanks(value); kept.size() != value.size()) {
    value = kept.toString();
  }
  const bool uri = is(p.valueType, "URI") ||
                   (!is(p.valueType, "TEXT") && value.startsWith(u"tel:", Qt::CaseInsensitive));
  if (!uri) return value;
  if (value.startsWith(u"tel:", Qt::CaseInsensitive)) value.remove(0, 4);
  const QStringList parts = value.split(u';');
  QString number = parts.first();
  for (qsizetype i = 1; i < parts.size(); ++i) {
    if (parts[i].startsWith(u"ext=", Qt::CaseInsensitive)) {
      number += QLatin1StringView(" ext. ") + parts[i].mid(4);
    }
  }
  return number;
}

QString part(const QStringList& parts, int i) {
  return i < parts.size() ? parts[i] : QString();
}

QString nonEmptyJoined(const QStringList& parts) {
  QStringList kept;
  for (const QString& p : parts) {
    if (!fieldText(p).isEmpty()) kept.append(trimBlanks(p).toString());
  }
  return kept.join(QLatin1StringView(", "));
}

struct Extra {
  QByteArrayView name;  // its length counted once, when compiled
  const char* label;
};
// Properties no field takes that are kept aside in the attached text file.
constexpr Extra kExtras[] = {
    {"TITLE", "Title"},
    {"ROLE", "Role"},
    {"BDAY", "Birthday"},
    {"ANNIVERSARY", "Anniversary"},
    {"X-ANNIVERSARY", "Anniversary"},
    {"NICKNAME", "Nickname"},
    {"CATEGORIES", "Categories"},
    {"IMPP", "Chat"},
    {"X-JABBER", "Chat (Jabber)"},
    {"X-SKYPE", "Chat (Skype)"},
    {"X-AIM", "Chat (AIM)"},
    {"X-ICQ", "Chat (ICQ)"},
    {"GENDER", "Gender"},
    {"GEO", "Location"},
    {"TZ", "Time zone"},
    {"RELATED", "Related"},
    {"X-ABRELATEDNAMES", "Related"},
    {"X-ABDATE", "Date"},
    {"LANG", "Language"},
    {"EXPERTISE", "Expertise"},
    {"HOBBY", "Hobby"},
    {"INTEREST", "Interest"},
};

}  // namespace

struct CardScratch {
  std::vector<Property> properties;
  ContactBuilder builder;
};

void CardScratchDeleter::operator()(CardScratch* scratch) const {
  delete scratch;
}

CardScratchPtr newCardScratch() {
  return CardScratchPtr(new CardScratch);
}

Contact contactFromCard(const std::vector<QByteArrayView>& lines) {
  CardScratch scratch;
  return contactFromCard(lines, scratch);
}

Contact contactFromCard(const std::vector<QByteArrayView>& lines, CardScratch& scratch) {
  std::vector<Property>& properties = scratch.properties;
  properties.clear();
  QHash<QByteArray, QString> groupLabels;
  for (QByteArrayView line : lines) {
    // Made where it is kept: most properties are.
    Property& p = properties.emplace_back();
    if (!parseProperty(line, p)) {
      properties.pop_back();
    } else if (is(p.name, "X-ABLABEL") && !p.group.isEmpty()) {
      groupLabels.insert(p.group.toByteArray().toUpper(), abLabel(unescapeText(textOf(p))));
      properties.pop_back();
    }
  }

  ContactBuilder& builder = scratch.builder;
  builder.reset();
  const Property* names = nullptr;             // N, read only for a card without a name in FN
  QVarLengthArray<const Property*, 2> labels;  // read only for a card without an address
  bool named = false;
  for (const Property& p : properties) {
    const QByteArrayView name = p.name;
    if (is(name, "FN")) {
      QString fullName = unescapeText(textOf(p));
      named = named || !fieldText(fullName).isEmpty();
      builder.setFullName(fullName);
    } else if (is(name, "N")) {
      if (!names) names = &p;
    } else if (is(name, "TEL")) {
      builder.addPhone(phoneNumber(p, textOf(p)), kindOf(p, groupLabels), p.preferred, p.slot);
    } else if (is(name, "EMAIL")) {
      builder.addEmail(unescapeText(textOf(p)), kindOf(p, groupLabels), p.preferred);
    } else if (is(name, "URL")) {
      builder.addWeb(unescapeText(textOf(p)), kindOf(p, groupLabels));
    } else if (is(name, "ADR")) {
      const QStringList parts = splitStructured(textOf(p));
      builder.addAddress({part(parts, 0), part(parts, 1), part(parts, 2), part(parts, 3),
                          part(parts, 4), part(parts, 5), part(parts, 6)},
                         kindOf(p, groupLabels), p.preferred);
    } else if (is(name, "LABEL")) {
      labels.append(&p);
    } else if (is(name, "NOTE")) {
      builder.addNote(unescapeText(textOf(p)));
    } else if (is(name, "ORG")) {
      builder.addOrganization(nonEmptyJoined(splitStructured(textOf(p))));
    } else {
      for (const Extra& extra : kExtras) {
        if (!sameName(name, extra.name)) continue;
        QString text = unescapeText(textOf(p));
        const QString kind = kindOf(p, groupLabels);
        QString heading = QString::fromLatin1(extra.label);
        if (!kind.isEmpty()) heading += QLatin1StringView(" (") + kind + QLatin1Char(')');
        builder.addExtra(heading, text);
        break;
      }
    }
  }
  if (names && !named) {
    const QStringList parts = splitStructured(textOf(*names));
    builder.setNameParts(part(parts, 0), part(parts, 1), part(parts, 2));
  }
  // A printed address with no address beside it: the lines of the first one not empty are
  // the address. Most cards have an address, and their labels are never decoded.
  QString label;
  for (qsizetype i = 0; i < labels.size() && label.isEmpty() && !builder.hasAddress(); ++i) {
    label = unescapeText(textOf(*labels[i]));
  }
  if (!builder.hasAddress() && !label.trimmed().isEmpty()) {
    QStringList lines = label.split(u'\n', Qt::SkipEmptyParts);
    PostalAddress address;
    address.street = lines.value(0);
    address.locality = lines.value(1);
    address.country = nonEmptyJoined(lines.mid(2));
    builder.addAddress(address, {}, false);
  }
  if (builder.tooBig()) return {};
  return builder.finish();
}

}  // namespace tavelin::exchange
