#include "watcher/change_watcher.h"

#include "contracts/live_options.h"
#include "contracts/record_view.h"
#include "platform/dialogs.h"
#include "platform/platform.h"
#include "record_store/record_store.h"

namespace tavelin::watcher {

ChangeWatcher::ChangeWatcher(platform::Platform& platform, RecordStore& store,
                             const LiveOptions& options, RecordView& view)
    : platform_(platform), store_(store), options_(options), view_(view) {}

void ChangeWatcher::Timer2_Timer() {
  // A tick that comes while the report is still open would report the same change again.
  if (changeReportOpen_) return;
  if (store_.takeSkipWatch()) return;  // our own load or write: let this tick pass
  if (view_.isAddingOrEditing()) return;
  if (!options_.multiUserMode()) return;

  // A missing file has no time: reported while an earlier load had one.
  const QString now = RecordStore::fileStampOf(store_.dataFile());
  if (now == store_.fileStamp()) return;

  const int row = view_.selectedRow();
  changeReportOpen_ = true;
  platform::showMessage(platform_.dialogs(), QStringLiteral("Click OK to refresh file..."),
                        platform::Buttons::Ok, platform::Icon::None,
                        QStringLiteral("File has been changed"));
  changeReportOpen_ = false;
  platform_.processEvents();
  view_.reload();
  view_.selectRow(row);  // the same row number; none when the list got shorter
  view_.focusList();
}

}  // namespace tavelin::watcher
