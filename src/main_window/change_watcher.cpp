// The change watcher: another copy of the program, or anything else, has rewritten the data
// file since our last load. Nothing locks the file; the modification time is all there is.
#include <QCheckBox>
#include <QTimer>

#include "main_window/mainform.h"
#include "main_window/name_list.h"
#include "options/frm_options.h"
#include "platform/dialogs.h"
#include "platform/platform.h"
#include "record_store/paths.h"

namespace tavelin::main_window {

void Mainform::createTimer2() {
  Timer2 = new QTimer(this);
  Timer2->setObjectName(QStringLiteral("Timer2"));
  Timer2->setInterval(5000);
  connect(Timer2, &QTimer::timeout, this, [this] { Timer2_Timer(); });
  Timer2->start();
}

void Mainform::Timer2_Timer() {
  // A tick that comes while the report is still open would report the same change again.
  if (changeReportOpen_) return;
  if (store_.takeSkipWatch()) return;  // our own load or write: let this tick pass
  if (Adding || Editing) return;
  if (!frmOptions_->chkMulti->isChecked()) return;

  // A missing file has no time: reported while an earlier load had one.
  const QString now = RecordStore::fileStampOf(kDataFileName);
  if (now == store_.fileStamp()) return;

  const int row = List1->listIndex();
  changeReportOpen_ = true;
  platform::showMessage(platform_.dialogs(), QStringLiteral("Click OK to refresh file..."),
                        platform::Buttons::Ok, platform::Icon::None,
                        QStringLiteral("File has been changed"));
  changeReportOpen_ = false;
  platform_.processEvents();
  SortFile();
  List1->setListIndex(row);  // the same row number; none when the list got shorter
  List1->setFocus();
}

}  // namespace tavelin::main_window
