#pragma once

#include <QString>

namespace tavelin {

// What a subsystem (dialer, output, attachments, mail) may ask of the main window, and
// nothing more. The window implements it; a subsystem's tests use a fake of their own.
class RecordView {
 public:
  virtual ~RecordView() = default;

  // Text1..Text14 as shown; field 0 is Text1 (Full Name), 4 is Text5 (Phone 1).
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
};

}  // namespace tavelin
