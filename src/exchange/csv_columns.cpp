#include "exchange/csv_columns.h"

#include <QHash>
#include <QRegularExpression>

namespace tavelin::exchange {
namespace {

using Role = CsvLayout::Role;

bool same(const QString& a, const char* b) {
  return a.compare(QLatin1StringView(b), Qt::CaseInsensitive) == 0;
}

bool oneOf(const QString& a, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (same(a, name)) return true;
  }
  return false;
}

// Outlook's values for "nothing here".
bool outlookDefault(const QString& value) {
  return oneOf(value, {"0/0/00", "00.00.00", "0.0.00", "Normal", "False", "Unspecified"});
}

// Google separates several values in one cell with " ::: ".
QStringList values(const QString& cell) {
  QStringList out;
  // Split as the field will hold it, so that no field holds the separator afterwards.
  for (const QString& v : fieldText(cell).split(QLatin1StringView(" ::: "))) {
    if (!fieldText(v).isEmpty()) out.append(v);
  }
  return out;
}

// Google marks the primary value's label with "* ".
QString labelOf(const QString& label, bool& preferred) {
  QString text = label.trimmed();
  preferred = text.startsWith(u'*');
  if (preferred) text = text.mid(1).trimmed();
  return text;
}

int addressPart(const QString& name) {
  static const QHash<QString, int> parts = {
      {QStringLiteral("street"), CsvLayout::Street},
      {QStringLiteral("street 2"), CsvLayout::Street2},
      {QStringLiteral("street 3"), CsvLayout::Street2},
      {QStringLiteral("city"), CsvLayout::City},
      {QStringLiteral("po box"), CsvLayout::PoBox},
      {QStringLiteral("address po box"), CsvLayout::PoBox},
      {QStringLiteral("region"), CsvLayout::Region},
      {QStringLiteral("state"), CsvLayout::Region},
      {QStringLiteral("postal code"), CsvLayout::PostalCode},
      {QStringLiteral("country"), CsvLayout::Country},
      {QStringLiteral("country/region"), CsvLayout::Country},
      {QStringLiteral("extended address"), CsvLayout::Extended},
      {QStringLiteral("formatted"), CsvLayout::Formatted},
  };
  return parts.value(name.toLower(), -1);
}

CsvLayout::Column classify(const QString& heading, QHash<QString, int>& groups) {
  static const QRegularExpression numbered(
      QStringLiteral("^(Phone|E-mail|Website|Address|Organization) (\\d+) - (.+)$"),
      QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression outlookAddress(QStringLiteral("^(Home|Business|Other) (.+)$"),
                                                 QRegularExpression::CaseInsensitiveOption);
  CsvLayout::Column c;
  c.heading = heading;
  auto group = [&groups](const QString& name) {
    const auto it = groups.constFind(name.toLower());
    if (it != groups.constEnd()) return *it;
    const int index = static_cast<int>(groups.size());
    groups.insert(name.toLower(), index);
    return index;
  };

  if (oneOf(heading, {"Name", "Display Name", "Full Name"})) {
    c.role = Role::FullName;
  } else if (oneOf(heading, {"First Name", "Given Name"})) {
    c.role = Role::First;
  } else if (oneOf(heading, {"Middle Name", "Additional Name"})) {
    c.role = Role::Middle;
  } else if (oneOf(heading, {"Last Name", "Family Name"})) {
    c.role = Role::Last;
  } else if (oneOf(heading, {"Notes"})) {
    c.role = Role::Notes;
  } else if (oneOf(heading, {"Organization Name", "Company"})) {
    c.role = Role::Organization;
  } else if (oneOf(heading, {"Labels", "Group Membership"})) {
    c.role = Role::Labels;
  } else if (oneOf(heading, {"Photo"})) {
    c.role = Role::Skip;
  } else if (oneOf(heading,
                   {"E-mail Address", "Email Address", "E-mail 2 Address", "E-mail 3 Address"})) {
    c.role = Role::Email;
  } else if (oneOf(heading, {"Web Page", "Personal Web Page", "Business Web Page"})) {
    c.role = Role::Web;
  } else if (const auto m = numbered.match(heading); m.hasMatch()) {
    const QString what = m.captured(1).toLower();
    const QString detail = m.captured(3);
    const bool value = same(detail, "Value");
    const bool label = same(detail, "Type") || same(detail, "Label");
    c.index = m.captured(2).toInt();
    if (what == u"phone" && (value || label)) {
      c.role = value ? Role::Phone : Role::PhoneLabel;
    } else if (what == u"e-mail" && (value || label)) {
      c.role = value ? Role::Email : Role::EmailLabel;
    } else if (what == u"website" && (value || label)) {
      c.role = value ? Role::Web : Role::WebLabel;
    } else if (what == u"organization" && same(detail, "Name")) {
      c.role = Role::Organization;
    } else if (what == u"address") {
      const int part = addressPart(detail);
      if (label || part >= 0) {
        c.role = label ? Role::AddressLabel : Role::AddressPart;
        c.part = part;
        c.index = group(QStringLiteral("Address ") + m.captured(2));
      }
    }
  } else if (const auto a = outlookAddress.match(heading);
             a.hasMatch() && addressPart(a.captured(2)) >= 0) {
    c.role = Role::AddressPart;
    c.part = addressPart(a.captured(2));
    c.index = group(a.captured(1));
    c.kind = a.captured(1).toLower();
  } else if (heading.endsWith(QLatin1StringView(" Phone"), Qt::CaseInsensitive) ||
             heading.endsWith(QLatin1StringView(" Fax"), Qt::CaseInsensitive) ||
             oneOf(heading, {"Pager", "Callback", "ISDN", "Telex"})) {
    c.role = Role::Phone;
    c.kind = heading.endsWith(QLatin1StringView(" Phone"), Qt::CaseInsensitive)
                 ? heading.chopped(6).toLower()
                 : heading.toLower();
  }
  return c;
}

}  // namespace

CsvLayout CsvLayout::fromHeadings(const QStringList& headings) {
  CsvLayout layout;
  QHash<QString, int> groups;
  for (const QString& heading : headings) {
    layout.columns.push_back(classify(heading.trimmed(), groups));
    const Role role = layout.columns.back().role;
    if (role != Role::Extra && role != Role::Skip && role != Role::Labels) layout.known = true;
  }
  layout.addressGroups = static_cast<int>(groups.size());
  return layout;
}

Contact CsvLayout::contactOf(const QStringList& cells) const {
  ContactBuilder builder;
  QString fullName;
  QString first, middle, last;
  // Labels come in columns of their own, before or after their values.
  QHash<int, QString> phoneLabels, emailLabels, webLabels, addressLabels;
  std::vector<PostalAddress> addresses(static_cast<size_t>(addressGroups));
  std::vector<QStringList> formatted(static_cast<size_t>(addressGroups));
  const qsizetype n = std::min<qsizetype>(cells.size(), static_cast<qsizetype>(columns.size()));
  for (qsizetype i = 0; i < n; ++i) {
    const Column& c = columns[static_cast<size_t>(i)];
    const QString& cell = cells[i];
    if (c.role == Role::PhoneLabel) phoneLabels.insert(c.index, cell);
    if (c.role == Role::EmailLabel) emailLabels.insert(c.index, cell);
    if (c.role == Role::WebLabel) webLabels.insert(c.index, cell);
    if (c.role == Role::AddressLabel) addressLabels.insert(c.index, cell);
    if (c.role == Role::AddressPart && !c.kind.isEmpty()) addressLabels.insert(c.index, c.kind);
  }
  for (qsizetype i = 0; i < n; ++i) {
    const Column& c = columns[static_cast<size_t>(i)];
    const QString& cell = cells[i];
    if (cell.trimmed().isEmpty()) continue;
    bool preferred = false;
    switch (c.role) {
      case Role::FullName:
        fullName = cell;
        break;
      case Role::First:
        first = cell;
        break;
      case Role::Middle:
        middle = cell;
        break;
      case Role::Last:
        last = cell;
        break;
      case Role::Phone: {
        const QString kind =
            c.kind.isEmpty() ? labelOf(phoneLabels.value(c.index), preferred) : c.kind;
        int slot = c.kind.isEmpty() ? c.index : 0;
        for (const QString& v : values(cell)) {
          builder.addPhone(v, kind, preferred, slot);
          slot = 0;
        }
        break;
      }
      case Role::Email: {
        const QString kind = labelOf(emailLabels.value(c.index), preferred);
        for (const QString& v : values(cell)) builder.addEmail(v, kind, preferred);
        break;
      }
      case Role::Web: {
        const QString kind = labelOf(webLabels.value(c.index), preferred);
        for (const QString& v : values(cell)) builder.addWeb(v, kind);
        break;
      }
      case Role::Notes:
        builder.addNote(QString(cell).replace(QLatin1StringView("\r\n"), QLatin1StringView("\n")));
        break;
      case Role::Organization:
        builder.addOrganization(cell);
        break;
      case Role::Labels: {
        QStringList kept;
        for (const QString& v : values(cell)) {
          if (!oneOf(v, {"* myContacts", "* My Contacts", "* starred"})) kept.append(v);
        }
        if (!kept.isEmpty()) builder.addExtra(c.heading, kept.join(QLatin1StringView(", ")));
        break;
      }
      case Role::AddressPart: {
        PostalAddress& a = addresses[static_cast<size_t>(c.index)];
        QString* target = nullptr;
        switch (c.part) {
          case Street:
            target = &a.street;
            break;
          case Street2:
            target = &a.extended;
            break;
          case City:
            target = &a.locality;
            break;
          case PoBox:
            target = &a.poBox;
            break;
          case Region:
            target = &a.region;
            break;
          case PostalCode:
            target = &a.postalCode;
            break;
          case Country:
            target = &a.country;
            break;
          case Extended:
            target = &a.extended;
            break;
          default:
            formatted[static_cast<size_t>(c.index)] = cell.split(u'\n');
        }
        if (target) *target += (target->isEmpty() ? QString() : QStringLiteral(", ")) + cell;
        break;
      }
      case Role::Extra:
        if (!outlookDefault(cell.trimmed())) builder.addExtra(c.heading, cell);
        break;
      default:
        break;
    }
  }
  if (!fieldText(fullName).isEmpty()) {
    builder.setFullName(fullName);
  } else {
    builder.setNameParts(last, first, middle);
  }
  for (int g = 0; g < addressGroups; ++g) {
    PostalAddress a = addresses[static_cast<size_t>(g)];
    const QStringList& lines = formatted[static_cast<size_t>(g)];
    if (a.isEmpty() && !lines.isEmpty()) {
      // Only the printed form: its lines are the address.
      a.street = lines.value(0);
      a.locality = lines.value(1);
      a.country = lines.mid(2).join(QLatin1StringView(", "));
    }
    bool preferred = false;
    const QString kind = labelOf(addressLabels.value(g), preferred);
    builder.addAddress(a, kind, preferred);
  }
  if (builder.tooBig()) return {};
  return builder.finish();
}

QStringList googleHeadings() {
  return {QStringLiteral("First Name"),
          QStringLiteral("Middle Name"),
          QStringLiteral("Last Name"),
          QStringLiteral("Name Prefix"),
          QStringLiteral("Name Suffix"),
          QStringLiteral("Nickname"),
          QStringLiteral("File As"),
          QStringLiteral("Organization Name"),
          QStringLiteral("Organization Title"),
          QStringLiteral("Birthday"),
          QStringLiteral("Notes"),
          QStringLiteral("Labels"),
          QStringLiteral("E-mail 1 - Label"),
          QStringLiteral("E-mail 1 - Value"),
          QStringLiteral("Phone 1 - Label"),
          QStringLiteral("Phone 1 - Value"),
          QStringLiteral("Phone 2 - Label"),
          QStringLiteral("Phone 2 - Value"),
          QStringLiteral("Phone 3 - Label"),
          QStringLiteral("Phone 3 - Value"),
          QStringLiteral("Phone 4 - Label"),
          QStringLiteral("Phone 4 - Value"),
          QStringLiteral("Address 1 - Label"),
          QStringLiteral("Address 1 - Formatted"),
          QStringLiteral("Address 1 - Street"),
          QStringLiteral("Address 1 - City"),
          QStringLiteral("Address 1 - PO Box"),
          QStringLiteral("Address 1 - Region"),
          QStringLiteral("Address 1 - Postal Code"),
          QStringLiteral("Address 1 - Country"),
          QStringLiteral("Address 1 - Extended Address"),
          QStringLiteral("Website 1 - Label"),
          QStringLiteral("Website 1 - Value")};
}

}  // namespace tavelin::exchange
