#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "record_store/atomic_file.h"
#include "record_store/paths.h"
#include "record_store/record_table.h"

namespace tavelin {

// The data file and its in-memory table. Every change rewrites the whole file and loads it
// again; row i of the table is row i of the name list.
class RecordStore {
 public:
  explicit RecordStore(QString workFile) : workFile_(std::move(workFile)) {}

  // The file SortFile reads and the writers write, relative to the working directory.
  QString DataFile = kDataFileName;
  // The data file's modification time at the last load, to the second; empty until known.
  QString FileStamp;
  // Set when the program itself has just loaded or written the data file.
  bool SkipWatch = false;

  const RecordTable& table() const { return table_; }
  int rowCount() const { return table_.rowCount(); }

  struct LoadResult {
    bool limitReached = false;  // the table is full: "Maximum number of records reached!"
    // Why the file could not be read; empty when it was (or when there is no file yet).
    QString unreadable;
  };
  // Reads DataFile, sorts its lines without regard to case, writes them to the work file and
  // loads them into the table. A missing or empty file loads as one blank record. Lines that
  // are no record, and records past the table's limit, are kept aside and written back as
  // they stand by every save; so is a record whose fields the table cannot hold whole.
  // A file that cannot be read loads as one blank record, and no save writes over it (nor a
  // backup from it) until a load succeeds.
  LoadResult SortFile();

  // Rewrites DataFile with every row but selectedRow, then the appended line when given.
  std::optional<WriteError> SaveRest(int selectedRow, const QString& appendedLine = {});
  // Rewrites DataFile with every row, then the appended line when given.
  std::optional<WriteError> SaveAll(const QString& appendedLine = {});

  QString BuildRecordLine(int row) const { return table_.BuildRecordLine(row); }

  // The modification time of a file as FileStamp holds it; empty when there is no such file.
  static QString fileStampOf(const QString& path);

 private:
  std::optional<WriteError> save(int skippedRow, const QString& appendedLine);
  QString readDataFile(QByteArray& bytes) const;
  void writeWorkFile(const std::vector<QByteArrayView>& records,
                     const std::vector<QByteArrayView>& kept, bool utf8) const;

  QString workFile_;
  RecordTable table_;
  QStringList untabled_;          // records past the limit, then the other lines, in sort order
  QHash<int, QString> verbatim_;  // rows whose line holds more than the table shows
  QString unreadable_;            // why the last load could not read the file
};

}  // namespace tavelin
