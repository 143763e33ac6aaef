// The vCard and CSV readers: whatever the bytes, every contact read fits the fields as the
// table stores them, a piece at a time reads the same as all at once, cards cut at a card
// boundary read on two threads the same as on one, and every contact written back in the
// same format reads again to the same fields.
#include "exchange/csv_reader.h"
#include "exchange/csv_writer.h"
#include "exchange/vcard_reader.h"
#include "exchange/vcard_writer.h"
#include "fuzz_checks.h"

namespace tavelin::fuzz {
namespace {

using exchange::Contact;
using exchange::ReadContacts;

QString fieldFault(const Contact& c) {
  for (const QString& f : c.fields) {
    if (f.size() > kFieldWidth) return QStringLiteral("a field over 80 characters");
    if (f != trimBlanks(f)) return QStringLiteral("blanks around a field");
    for (const QChar ch : f) {
      if (ch.unicode() < 32 || ch == u'"') return QStringLiteral("a control character or quote");
    }
  }
  for (const QString& line : c.overflow) {
    if (line.contains(u'\n') || line.contains(u'\r')) return QStringLiteral("a broken line");
  }
  return {};
}

template <typename Reader>
ReadContacts readInTwo(QByteArrayView bytes, qsizetype cut, bool csv) {
  ReadContacts read;
  Reader reader([&read](Contact&& c) { read.contacts.push_back(std::move(c)); });
  reader.feed(bytes.first(cut));
  reader.feed(bytes.sliced(cut));
  reader.finish();
  read.unreadable = reader.unreadable();
  if constexpr (std::is_same_v<Reader, exchange::CsvReader>) {
    read.anyCard = reader.hasHeader();
  } else {
    read.anyCard = reader.cards() > 0;
  }
  (void)csv;
  return read;
}

std::vector<FieldTexts> fieldsOf(const ReadContacts& read) {
  std::vector<FieldTexts> out;
  for (const Contact& c : read.contacts) out.push_back(c.fields);
  return out;
}

QString splitFault(QByteArrayView bytes, qsizetype cut) {
  struct Read {
    std::vector<Contact> contacts;
    exchange::CardCounts counts;
  };
  const auto read = [bytes](qsizetype at) {
    Read r;
    r.counts = exchange::readVCardsInTwo(bytes, at,
                                         [&r](Contact&& c) { r.contacts.push_back(std::move(c)); });
    return r;
  };
  const Read one = read(-1), two = read(cut);
  if (one.counts.cards != two.counts.cards || one.counts.unreadable != two.counts.unreadable ||
      one.contacts.size() != two.contacts.size()) {
    return QStringLiteral("cut at %1, other counts").arg(cut);
  }
  for (size_t i = 0; i < one.contacts.size(); ++i) {
    if (one.contacts[i].fields != two.contacts[i].fields ||
        one.contacts[i].overflow != two.contacts[i].overflow) {
      return QStringLiteral("cut at %1, contact %2 otherwise").arg(cut).arg(i);
    }
  }
  return {};
}

QString check(QByteArrayView bytes, bool csv) {
  const ReadContacts read = csv ? exchange::readCsv(bytes) : exchange::readVCards(bytes);
  for (const Contact& c : read.contacts) {
    if (c.isEmpty()) return QStringLiteral("an empty contact handed over");
    const QString fault = fieldFault(c);
    if (!fault.isEmpty()) return fault;
  }
  const qsizetype cut = bytes.isEmpty() ? 0 : static_cast<unsigned char>(bytes[0]) % bytes.size();
  const ReadContacts pieces = csv ? readInTwo<exchange::CsvReader>(bytes, cut, csv)
                                  : readInTwo<exchange::VCardReader>(bytes, cut, csv);
  if (fieldsOf(pieces) != fieldsOf(read) || pieces.unreadable != read.unreadable ||
      pieces.anyCard != read.anyCard) {
    return QStringLiteral("read in two pieces otherwise");
  }

  if (!csv) {
    // Cut where the cards may be cut, the pieces read on two threads read as one piece does.
    const qsizetype from =
        bytes.size() < 2 ? 0 : static_cast<unsigned char>(bytes[1]) * bytes.size() / 256;
    if (const qsizetype at = exchange::cardBoundary(bytes, from); at >= 0) {
      if (QString fault = splitFault(bytes, at); !fault.isEmpty()) return fault;
    }
  }

  const std::vector<FieldTexts> fields = fieldsOf(read);
  if (csv) {
    const ReadContacts again = exchange::readCsv(exchange::writeCsv(fields));
    if (again.unreadable != 0 || fieldsOf(again) != fields) {
      return QStringLiteral("written as CSV, reads otherwise");
    }
    return {};
  }
  for (auto version : {exchange::VCardVersion::V30, exchange::VCardVersion::V40}) {
    const ReadContacts again = exchange::readVCards(exchange::writeVCards(fields, version));
    if (again.unreadable != 0 || fieldsOf(again) != fields) {
      return QStringLiteral("written as vCard %1, reads otherwise")
          .arg(version == exchange::VCardVersion::V30 ? 3 : 4);
    }
  }
  return {};
}

}  // namespace

QString checkVCardReader(QByteArrayView bytes) {
  return check(bytes, false);
}
QString checkCsvReader(QByteArrayView bytes) {
  return check(bytes, true);
}

}  // namespace tavelin::fuzz
