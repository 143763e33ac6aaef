#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "record_store/page_buffer.h"
#include "record_store/record_table.h"

namespace tavelin {

// What one read of a data file holds: the records of the table and the lines kept beside it,
// which every rewrite writes back as they stand.
struct FileContents {
  RecordTable table;
  QStringList untabled;          // records past the limit, then the other lines, in sort order
  QHash<int, QString> verbatim;  // rows whose line holds more than the table shows
  int keptLines = 0;             // of untabled, the lines that are no record
  bool placeholder = false;      // the one blank row stands for a file without records
  bool limitReached = false;
  // The bytes the table was read from. A rewrite copies from them every record whose line
  // the writer would write the same, so the caller keeps them as they are until the contents
  // are loaded again.
  QByteArrayView source;

  // Empties everything; the table keeps its buffers for the next load.
  void reset();
  // The line a rewrite writes for the row, without its end.
  QString writtenLine(int row) const;
  // The file's bytes: every row but skippedRow, the kept lines, then the appended line.
  void write(LineWriter& out, int skippedRow, const QString& appendedLine) const;
  QByteArray write(int skippedRow, const QString& appendedLine) const;

  // What a rewrite leaves out and adds: table rows and kept lines (both by position, in
  // increasing order), and the lines written after all the others.
  struct Edits {
    std::vector<int> skippedRows;
    std::vector<int> skippedKept;  // positions in untabled
    QStringList appended;
  };
  void write(LineWriter& out, const Edits& edits) const;
};

// Reads a data file's bytes into the buffer; why it cannot be read, or empty. A missing file
// reads as empty. A pipe or a device is not opened, since it would wait for a writer that
// never comes.
QString readDataFile(const QString& path, PageBuffer<char>& buffer, QByteArrayView& bytes);
// Whether a data file holds exactly the given bytes, read a piece at a time so that no second
// copy of it is made; why it cannot be read, or empty. A missing file holds no bytes.
QString compareDataFile(const QString& path, QByteArrayView bytes, bool& same);

// Sorts the lines of a data file and loads them; the sorted lines go to the work file when
// one is named and workFileWanted, when given, says so: it is asked once, on another thread,
// just before the work file would be written, and may wait. The contents refer to the bytes
// (their source) from then on. Why the bytes are not an address book, or empty: then
// contents holds only the blank row.
QString loadContents(QByteArrayView bytes, FileContents& contents, const QString& workFile = {},
                     const std::function<bool()>& workFileWanted = {});
// Whether bytes start with a byte-order mark of UTF-16 or UTF-32: no file of ours does.
bool startsWithWideMark(QByteArrayView bytes);

}  // namespace tavelin
