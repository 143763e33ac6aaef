#pragma once

#include <QString>
#include <QStringView>

#include "record_store/atomic_file.h"
#include "record_store/record_table.h"

namespace tavelin {

// The records as the name list shows them: row i is row i of List1.
class RecordList {
 public:
  virtual ~RecordList() = default;

  virtual int recordCount() const = 0;
  // A field as stored: no trailing blanks, leading ones kept.
  virtual QStringView recordStored(int row, int field) const = 0;
  // A field as shown and written: leading and trailing blanks removed.
  virtual QStringView recordValue(int row, int field) const = 0;
  // A field as its fixed-width column holds it: exactly 80 characters.
  virtual QString recordSlot(int row, int field) const = 0;
};

// A record table read as a RecordList.
class TableRecords final : public RecordList {
 public:
  explicit TableRecords(const RecordTable& table) : table_(table) {}
  int recordCount() const override { return table_.rowCount(); }
  QStringView recordStored(int row, int field) const override { return table_.stored(row, field); }
  QStringView recordValue(int row, int field) const override { return table_.value(row, field); }
  QString recordSlot(int row, int field) const override { return table_.slot(row, field); }

 private:
  const RecordTable& table_;
};

// What a subsystem (dialer, output, attachments, mail, options, backup, search, the change
// watcher) may ask of the main window, and nothing more. The window implements it; a
// subsystem's tests use a fake of their own.
class RecordView : public RecordList {
 public:
  // Text1..Text14 as shown, by Field: Field::FullName is Text1.
  virtual QString fieldText(int field) const = 0;
  virtual void setFieldText(int field, const QString& text) = 0;
  // The flags Adding or Editing are set.
  virtual bool isAddingOrEditing() const = 0;
  // Command3 shows "Cancel": the buttons are in add or edit mode.
  virtual bool isCancelShown() const = 0;
  // The row selected in List1, -1 when none.
  virtual int selectedRow() const = 0;
  virtual void focusList() = 0;
  // Re-shows the selected record (List1_Click), which returns the window to browse mode.
  virtual void showSelectedRecord() = 0;
  // The hourglass pointer over the whole program while busy is true.
  virtual void setBusy(bool busy) = 0;

  // Selects a row of List1 (out of range: no change), and scrolls it to the top of the list.
  virtual void selectRow(int row) = 0;
  virtual void scrollRowToTop(int row) = 0;
  // Shows the selected record's fields again, with the search's bold marks (ShowRecord).
  virtual void showRecord() = 0;
  // Loads the data file again into the list (SortFile), with its messages.
  virtual void reload() = 0;
  // The list shows no rows and the fields are empty until the next reload.
  virtual void showNoRecords() = 0;
  // Command5's caption: "Quit", or "Clear" while a search string is set.
  virtual void setQuitButtonText(const QString& text) = 0;
  // One message naming a file that could not be written; nothing was changed.
  virtual void reportWriteError(const WriteError& error) = 0;
};

}  // namespace tavelin
