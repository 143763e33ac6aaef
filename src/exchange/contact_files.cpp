#include "exchange/contact_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cstring>
#include <vector>

#include "attachments/attachment_file.h"
#include "exchange/csv_reader.h"
#include "exchange/csv_writer.h"
#include "exchange/vcard_reader.h"
#include "exchange/vcard_writer.h"
#include "record_store/change_set.h"
#include "record_store/page_buffer.h"
#include "record_store/record_store.h"
#include "record_store/side_thread.h"

namespace tavelin::exchange {
namespace {

constexpr qsizetype kChunkBytes = 64 * 1024;
// A file of cards up to this size is held whole while it is read (see readVCardsWhole).
constexpr qsizetype kMaxWholeBytes = 32 * 1024 * 1024;
// From this many records on, an export writes its cards on two processors.
constexpr int kSplitRows = 2048;

// A single blank row is the table's stand-in for a file without records.
bool isPlaceholder(const RecordTable& table) {
  if (table.rowCount() != 1) return false;
  for (int k = 0; k < kFieldCount; ++k) {
    if (!table.value(0, k).isEmpty()) return false;
  }
  return true;
}

FieldViews rowViews(const RecordTable& table, int row) {
  FieldViews views;
  for (int k = 0; k < kFieldCount; ++k) views[k] = table.value(row, k);
  return views;
}

bool looksLikeVCard(QByteArrayView head) {
  return head.toByteArray().toUpper().contains("BEGIN:VCARD");
}

// Appends the lines to the attached text files of their contacts, one write each.
std::optional<WriteError> appendAttachments(const QHash<QString, QStringList>& lines) {
  for (auto it = lines.cbegin(); it != lines.cend(); ++it) {
    QByteArray bytes;
    QFile existing(it.key());
    if (existing.exists()) {
      if (!existing.open(QIODevice::ReadOnly)) {
        return WriteError{it.key(), existing.errorString()};
      }
      bytes = existing.readAll();
      if (!bytes.isEmpty() && !bytes.endsWith('\n')) bytes += "\r\n";
    }
    for (const QString& line : it.value()) bytes += line.toUtf8() + "\r\n";
    if (auto error = writeFileAtomically(it.key(), bytes)) return error;
  }
  return std::nullopt;
}

// What an import keeps of a contact: its record line and the line's hash, made on the thread
// that read it, and what the fields could not hold, under its name.
struct ContactLine {
  QString line;
  size_t hash = 0;
  QString name;  // only with overflow
  QStringList overflow;
};

size_t hashOf(const QString& line) {
  return qHash(line, QHashSeed::globalSeed());
}

ContactLine lineOf(Contact&& contact) {
  ContactLine out{BuildLineFromFields(contact.fields), 0, {}, std::move(contact.overflow)};
  out.hash = hashOf(out.line);
  if (!out.overflow.isEmpty()) out.name = std::move(contact.fields[kFullName]);
  return out;
}

// The lines an import knows (the book's, then those it adds), each as its place in a list the
// caller keeps: found by the hash made with the line, so that nothing is hashed again, copied
// or allocated a line.
class KnownLines {
 public:
  explicit KnownLines(qsizetype expected) { grow(expected); }

  // Where the line is among those known; -1 when it is not.
  template <typename LineAt>
  qsizetype find(const QString& line, size_t hash, const LineAt& lineAt) const {
    for (size_t i = checkOf(hash) & mask_;; i = (i + 1) & mask_) {
      const Slot& slot = slots_[i];
      if (slot.place < 0) return -1;
      if (slot.check == checkOf(hash) && lineAt(slot.place) == line) return slot.place;
    }
  }
  // A line not known yet, known from now on by its place.
  void insert(size_t hash, qsizetype place) {
    if (2 * (count_ + 1) > static_cast<qsizetype>(slots_.size())) grow(2 * count_ + 2);
    put({checkOf(hash), static_cast<qint32>(place)});
    ++count_;
  }

 private:
  // Small slots, twice as many in the cache: the low half of a hash places the line and, past
  // the bits that place it, tells it from most others; the line itself tells the rest.
  struct Slot {
    quint32 check = 0;
    qint32 place = -1;  // an import's lines are counted in thousands
  };
  static quint32 checkOf(size_t hash) { return static_cast<quint32>(hash); }
  void put(Slot slot) {
    size_t i = slot.check & mask_;
    while (slots_[i].place >= 0) i = (i + 1) & mask_;
    slots_[i] = slot;
  }
  // Room for `lines` at most half full.
  void grow(qsizetype lines) {
    size_t size = 16;
    while (size < 2 * static_cast<size_t>(std::max<qsizetype>(lines, 1))) size *= 2;
    if (size <= slots_.size()) return;
    std::vector<Slot> old(size);
    old.swap(slots_);
    mask_ = size - 1;
    for (const Slot& slot : old) {
      if (slot.place >= 0) put(slot);
    }
  }

  std::vector<Slot> slots_;
  size_t mask_ = 0;
  qsizetype count_ = 0;
};

// An import is one change set of added lines: one save under the lock.
std::optional<WriteError> saveAdded(RecordStore& store, const QStringList& lines) {
  ChangeSet changes;
  changes.added = lines;
  const SaveResult result = store.Apply(changes);
  if (result) return std::nullopt;
  return result.error();
}

}  // namespace

ImportResult importContacts(RecordStore& store, const QString& path) {
  ImportResult result;
  const QFileInfo info(path);
  if (info.isDir()) {
    result.failure = WriteError{path, QStringLiteral("it is a folder")};
    return result;
  }
  QFile file(path);
  // A pipe or a device would keep the import waiting for a writer: only files are read.
  if (info.exists() && !info.isFile()) {
    result.failure = WriteError{path, QStringLiteral("it is not a file")};
    return result;
  }
  if (!file.open(QIODevice::ReadOnly)) {
    result.failure = WriteError{path, file.errorString()};
    return result;
  }

  const RecordTable& table = store.table();
  const bool empty = isPlaceholder(table);
  int room = kRecordLimit - (empty ? 0 : table.rowCount());
  // A card takes some hundred bytes: room for the lines the file can add, no more.
  const qsizetype expected = std::min<qsizetype>(room, info.size() / 128 + 16);
  QStringList existing;  // the book's lines, then those added, as KnownLines has them
  existing.reserve(table.rowCount());
  // A contact is known when its fields equal a record's values, blanks around them aside.
  for (int row = empty ? 1 : 0; row < table.rowCount(); ++row) {
    FieldTexts values;
    for (int k = 0; k < kFieldCount; ++k) values[k] = table.value(row, k).toString();
    existing << BuildLineFromFields(values);
  }
  QStringList added;
  added.reserve(expected);
  KnownLines known(existing.size() + expected);
  const auto lineAt = [&existing, &added](qsizetype place) -> const QString& {
    return place < existing.size() ? existing[place] : added[place - existing.size()];
  };
  for (qsizetype i = 0; i < existing.size(); ++i) {
    const size_t hash = hashOf(existing[i]);
    if (known.find(existing[i], hash, lineAt) < 0) known.insert(hash, i);
  }
  QHash<QString, QStringList> attachments;
  bool stopped = false;
  const auto takeLine = [&](ContactLine&& contact) {
    if (stopped) return;
    if (known.find(contact.line, contact.hash, lineAt) >= 0) {
      ++result.known;
      return;
    }
    // Past the limit nothing more is taken.
    if (room <= 0) {
      result.limitReached = true;
      stopped = true;
      return;
    }
    --room;
    known.insert(contact.hash, existing.size() + added.size());
    if (!contact.overflow.isEmpty()) {
      ++result.overflowed;
      if (const auto name = attachments::attachmentFileName(contact.name)) {
        attachments[*name] += contact.overflow;
      }
    }
    added.append(std::move(contact.line));
  };
  const auto take = [&](Contact&& contact) { takeLine(lineOf(std::move(contact))); };

  QByteArray chunk = file.read(kChunkBytes);
  const bool vcard = looksLikeVCard(chunk);
  VCardReader vcardReader(take);
  CsvReader csvReader(take);
  CardCounts wholeCounts;
  bool whole = false;
  if (vcard && info.size() > kSplitBytes && info.size() <= kMaxWholeBytes) {
    // Cards that fit in memory are held whole and read on both processors; a file whose
    // size changed meanwhile goes on a chunk at a time from what was read.
    const qsizetype head = chunk.size(), size = info.size();
    PageBuffer<char> all;
    all.reserve(static_cast<size_t>(size) + 1, 0);
    std::memcpy(all.data(), chunk.constData(), static_cast<size_t>(head));
    const qint64 rest = file.read(all.data() + head, size + 1 - head);
    whole = rest >= 0 && head + rest == size;
    if (whole) {
      wholeCounts = readVCardsWhole(QByteArrayView(all.data(), size), lineOf, takeLine);
      chunk.clear();
    } else if (rest > 0) {
      chunk.append(all.data() + head, rest);
    }
  }
  while (!chunk.isEmpty() && !stopped && !(!vcard && csvReader.refused())) {
    if (vcard) {
      vcardReader.feed(chunk);
    } else {
      csvReader.feed(chunk);
    }
    chunk = file.read(kChunkBytes);
  }
  if (file.error() != QFileDevice::NoError) {
    result = {};
    result.failure = WriteError{path, file.errorString()};
    return result;
  }
  if (!stopped && !whole) {
    if (vcard) {
      vcardReader.finish();
    } else {
      csvReader.finish();
    }
  }
  const CardCounts cardCounts =
      whole ? wholeCounts : CardCounts{vcardReader.cards(), vcardReader.unreadable()};
  if (vcard ? cardCounts.cards == 0 : !csvReader.hasHeader()) {
    result = {};
    result.failure = WriteError{path, QStringLiteral("it holds no vCard and no CSV heading row")};
    return result;
  }
  result.unreadable = vcard ? cardCounts.unreadable : csvReader.unreadable();
  result.imported = static_cast<int>(added.size());
  if (added.isEmpty()) return result;
  if (auto error = saveAdded(store, added)) {
    result = {};
    result.failure = error;
    return result;
  }
  result.firstLine = added.first();
  result.attachmentFailure = appendAttachments(attachments);
  return result;
}

QString importSummary(const ImportResult& r) {
  QString text = QStringLiteral(
                     "%1 contacts imported; %2 were already in the address book; %3 "
                     "could not be read")
                     .arg(r.imported)
                     .arg(r.known)
                     .arg(r.unreadable);
  if (r.overflowed > 0) {
    text += QStringLiteral("; %1 had more than the fields hold, kept in their attached text files")
                .arg(r.overflowed);
  }
  return text + QLatin1Char('.');
}

ExportResult exportContacts(const RecordStore& store, const QString& path, ExportFormat format) {
  ExportResult result;
  const RecordTable& table = store.table();
  const VCardVersion version =
      format == ExportFormat::VCard40 ? VCardVersion::V40 : VCardVersion::V30;
  // Writes the cards of rows [from, to) after the ones before, as one writer for all would.
  const auto writeCards = [&table, version](int from, int to, QByteArray& out) {
    VCardWriter vcard(version);
    for (int row = 0; row < from; ++row) vcard.passOver(rowViews(table, row));
    int written = 0;
    for (int row = from; row < to; ++row) {
      const qsizetype before = out.size();
      vcard.write(out, rowViews(table, row));
      written += out.size() > before;
    }
    return written;
  };
  const int rows = table.rowCount();
  QByteArray out;
  out.reserve(static_cast<qsizetype>(rows) * 400);
  if (format == ExportFormat::Csv) {
    CsvWriter csv;
    csv.writeHeader(out);
    for (int row = 0; row < rows; ++row) {
      const qsizetype before = out.size();
      csv.write(out, rowViews(table, row));
      result.exported += out.size() > before;
    }
  } else if (rows < kSplitRows) {
    result.exported = writeCards(0, rows, out);
  } else {
    // A large book's second half is written beside the first, on the other processor.
    const int half = rows / 2;
    QByteArray second;
    int secondCards = 0;
    {
      SideThread side([&] {
        second.reserve(static_cast<qsizetype>(rows - half) * 400);
        secondCards = writeCards(half, rows, second);
      });
      result.exported = writeCards(0, half, out);
    }
    out += second;
    result.exported += secondCards;
  }
  result.failure = writeFileAtomically(path, out);
  if (result.failure) result.exported = 0;
  return result;
}

QString exportSummary(const ExportResult& result, const QString& path) {
  return QStringLiteral("%1 contacts exported to %2.")
      .arg(result.exported)
      .arg(QDir::toNativeSeparators(path));
}

bool isContactsFileName(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == u"vcf" || suffix == u"vcard" || suffix == u"csv";
}

}  // namespace tavelin::exchange
