#pragma once

#include <QStringList>
#include <functional>

#include "contracts/record_view.h"
#include "record_store/record_lines.h"
#include "record_store/record_table.h"

namespace tavelin::test {

// The window as a subsystem sees it: records, fields, mode and selection set by the test, and
// a count of what the subsystem asked the window to do.
class FakeRecordView final : public RecordView {
 public:
  int recordCount() const override { return table.rowCount(); }
  QStringView recordStored(int r, int field) const override { return table.stored(r, field); }
  QStringView recordValue(int r, int field) const override { return table.value(r, field); }
  QString recordSlot(int r, int field) const override { return table.slot(r, field); }
  QString fieldText(int field) const override { return fields.at(field); }
  void setFieldText(int field, const QString& text) override { fields.at(field) = text; }
  bool isAddingOrEditing() const override { return adding || editing; }
  bool isCancelShown() const override { return cancelShown; }
  int selectedRow() const override { return row; }
  void focusList() override { ++listFocused; }
  void showSelectedRecord() override {
    ++recordShown;
    if (onShowSelected) onShowSelected();
  }
  void setBusy(bool on) override { busy += on ? 1 : -1; }
  void selectRow(int r) override {
    if (r >= 0 && r < recordCount()) row = r;
  }
  void scrollRowToTop(int r) override { topRow = r; }
  void showRecord() override { ++recordShown; }
  void reload() override { ++reloads; }
  void showNoRecords() override { ++emptied; }
  void setQuitButtonText(const QString& text) override { quitText = text; }
  void reportWriteError(const WriteError& error) override { writeErrors << error.fileName; }

  RecordTable table;
  FieldTexts fields;
  bool adding = false, editing = false, cancelShown = false;
  int row = 0;
  int busy = 0;  // hourglass requests not yet taken back
  int listFocused = 0, recordShown = 0, reloads = 0, emptied = 0, topRow = -1;
  QString quitText;
  std::function<void()> onShowSelected;  // what showing the selected record does to the fields
  QStringList writeErrors;               // the files named
};

}  // namespace tavelin::test
