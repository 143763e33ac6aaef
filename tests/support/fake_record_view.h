#pragma once

#include <array>

#include "main_window/record_view.h"

namespace tavelin::test {

// The main window as a subsystem sees it, with a record of what was asked of it.
struct FakeRecordView final : RecordView {
  std::array<QString, 14> fields;
  bool cancelShown = false;
  int busy = 0;  // hourglass requests not yet taken back
  int focused = 0;
  int shown = 0;

  QString fieldText(int field) const override { return fields.at(field); }
  void setFieldText(int field, const QString& text) override { fields.at(field) = text; }
  bool isAddingOrEditing() const override { return cancelShown; }
  bool isCancelShown() const override { return cancelShown; }
  int selectedRow() const override { return 0; }
  void focusList() override { ++focused; }
  void showSelectedRecord() override { ++shown; }
  void setBusy(bool on) override { busy += on ? 1 : -1; }
};

}  // namespace tavelin::test
