#include "sync/change_journal.h"

#include <unistd.h>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <optional>

#include "record_store/atomic_file.h"
#include "sync/sync_state.h"

namespace tavelin::sync {

namespace {

constexpr qint64 kMaxJournalBytes = qint64(256) << 20;

QJsonArray texts(const QStringList& lines) {
  QJsonArray array;
  for (const QString& line : lines) array.append(line);
  return array;
}

}  // namespace

QString changeJournalPath(const QString& dataFile) {
  return dataFile + QStringLiteral(".journal");
}

void ChangeJournal::changesApplied(const ChangeSet& applied) {
  if (applied.replaced.isEmpty() && applied.removed.isEmpty()) return;
  if (!QFile::exists(syncStatePath(dataFile_))) return;
  QJsonArray replaced;
  for (const ChangeSet::Replacement& change : applied.replaced) {
    replaced.append(QJsonArray{change.before, change.after});
  }
  QJsonObject note{{QStringLiteral("replaced"), replaced},
                   {QStringLiteral("removed"), texts(applied.removed)}};
  QByteArray line = QJsonDocument(note).toJson(QJsonDocument::Compact);
  line += '\n';
  QFile file(changeJournalPath(dataFile_));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return;
  // A note torn by a crash is one damaged line, which the reader leaves out.
  if (file.write(line) == line.size() && file.flush()) ::fdatasync(file.handle());
}

namespace {

// One note, or nothing for a torn or damaged line.
std::optional<ChangeSet> noteOf(const QByteArray& line) {
  const QJsonDocument document = QJsonDocument::fromJson(line);
  if (!document.isObject()) return std::nullopt;
  const QJsonObject note = document.object();
  ChangeSet set;
  bool whole = true;
  for (const QJsonValue& change : note.value(QStringLiteral("replaced")).toArray()) {
    const QJsonArray pair = change.toArray();
    whole = whole && pair.size() == 2 && pair[0].isString() && pair[1].isString();
    if (whole) set.replaced.append({pair[0].toString(), pair[1].toString()});
  }
  for (const QJsonValue& removed : note.value(QStringLiteral("removed")).toArray()) {
    whole = whole && removed.isString();
    if (whole) set.removed.append(removed.toString());
  }
  if (!whole || set.isEmpty()) return std::nullopt;
  return set;
}

std::optional<QByteArray> journalBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxJournalBytes) return std::nullopt;
  QByteArray bytes = file.read(kMaxJournalBytes + 1);
  if (bytes.size() > kMaxJournalBytes) return std::nullopt;
  return bytes;
}

}  // namespace

std::vector<ChangeSet> readChangeJournal(const QString& path) {
  std::vector<ChangeSet> notes;
  const std::optional<QByteArray> bytes = journalBytes(path);
  if (!bytes) return notes;
  for (const QByteArray& line : bytes->split('\n')) {
    if (std::optional<ChangeSet> note = noteOf(line)) notes.push_back(std::move(*note));
  }
  return notes;
}

bool dropChangeJournalNotes(const QString& path, size_t count) {
  const std::optional<QByteArray> bytes = journalBytes(path);
  if (!bytes) return clearChangeJournal(path);
  // Notes saved after the sync read the journal stay for the next sync.
  qsizetype pos = 0;
  size_t seen = 0;
  while (pos < bytes->size() && seen < count) {
    qsizetype end = bytes->indexOf('\n', pos);
    if (end < 0) end = bytes->size();
    if (noteOf(bytes->mid(pos, end - pos))) ++seen;
    pos = end + 1;
  }
  if (pos >= bytes->size()) return clearChangeJournal(path);
  return !writeFileAtomically(path, bytes->mid(pos));
}

bool clearChangeJournal(const QString& path) {
  return !QFile::exists(path) || QFile::remove(path);
}

}  // namespace tavelin::sync
