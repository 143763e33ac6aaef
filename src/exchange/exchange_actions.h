#pragma once

#include <QString>

#include "record_store/atomic_file.h"

namespace tavelin {
class RecordStore;
}
namespace tavelin::platform {
class Dialogs;
}

namespace tavelin::exchange {

// What the import and export ask of the main window, and nothing more.
class ExchangeView {
 public:
  virtual ~ExchangeView() = default;
  // The window is adding or editing a record: nothing changes the file then.
  virtual bool isAddingOrEditing() const = 0;
  // Loads the data file again and shows the record written as the given line.
  virtual void reloadShowing(const QString& line) = 0;
  virtual void setBusy(bool busy) = 0;
  // The one message for a file that could not be written.
  virtual void reportWriteError(const WriteError& error) = 0;
};

// The File menu's "Import contacts..." and "Export contacts..." and a dropped file.
class ExchangeActions {
 public:
  ExchangeActions(RecordStore& store, platform::Dialogs& dialogs, ExchangeView& view)
      : store_(store), dialogs_(dialogs), view_(view) {}

  void ImportContacts();  // asks for a file, then imports it
  void ExportContacts();  // asks for a file name and format, then exports
  // Imports the file as the menu does once it is chosen (a file dropped on the window).
  void importFile(const QString& path);

 private:
  RecordStore& store_;
  platform::Dialogs& dialogs_;
  ExchangeView& view_;
};

}  // namespace tavelin::exchange
