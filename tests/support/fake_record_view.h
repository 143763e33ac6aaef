#pragma once

#include "main_window/record_view.h"
#include "record_store/record_lines.h"

namespace tavelin::test {

// The window as a subsystem sees it: fields, mode and selection set by the test, and a count
// of what the subsystem asked the window to do.
class FakeRecordView final : public RecordView {
 public:
  QString fieldText(int field) const override { return fields.at(field); }
  void setFieldText(int field, const QString& text) override { fields.at(field) = text; }
  bool isAddingOrEditing() const override { return adding || editing; }
  bool isCancelShown() const override { return cancelShown; }
  int selectedRow() const override { return row; }
  void focusList() override { ++listFocused; }
  void showSelectedRecord() override { ++recordShown; }
  void setBusy(bool on) override { busy += on ? 1 : -1; }

  FieldTexts fields;
  bool adding = false, editing = false, cancelShown = false;
  int row = 0;
  int busy = 0;  // hourglass requests not yet taken back
  int listFocused = 0, recordShown = 0;
};

}  // namespace tavelin::test
