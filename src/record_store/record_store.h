#pragma once

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
  };
  // Reads DataFile, sorts its lines without regard to case, writes them to the work file and
  // loads them into the table. A missing or empty file loads as one blank record. Records past
  // the table's limit are kept aside and written back by every save.
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
  void writeWorkFile(const std::vector<QByteArrayView>& lines, bool utf8) const;

  QString workFile_;
  RecordTable table_;
  QStringList overflow_;  // lines that did not fit the table, in sort order
};

}  // namespace tavelin
