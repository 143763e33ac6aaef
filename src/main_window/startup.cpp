// Start-up: everything Form_Load does, in order. A step that fails is skipped.
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>

#include "dialer/stored_port_settings.h"
#include "main_window/mainform.h"
#include "main_window/name_list.h"
#include "options/frm_options.h"
#include "options/options_io.h"
#include "platform/dialogs.h"
#include "platform/platform.h"
#include "record_store/atomic_file.h"
#include "sync_ui/sync_controller.h"

namespace tavelin::main_window {

void Mainform::Form_Load() {
  const QString configRoot = platform_.configRoot();
  QDir().mkpath(configRoot);  // a new account may not have its configuration folder yet
  QDir().mkdir(configRoot + QStringLiteral("/malvek"));
  QDir().mkdir(fixedFolder(configRoot));

  centreOnScreen();

  frmOptions_->fillLists();
  frmOptions_->hide();
  options::ReadOptions(*frmOptions_, optionsFilePath(configRoot));

  dialer::applyStoredPortSettings(MSComm1_, platform_.settings());

  store_.RemoveStaleSaveFiles();  // left by a copy killed in the middle of a save
  SortFile();
  List1->setListIndex(0);

  show();
  List1->setFocus();
  platform_.processEvents();

  if (frmOptions_->Check3->isChecked()) autoBackup();
  syncController().begin();
}

void Mainform::autoBackup() {
  if (!QFileInfo(kDataFileName).isFile()) return;
  if (copyFileAtomically(kDataFileName, kBackupFileName)) return;  // failed: nothing is said
  platform::showMessage(platform_.dialogs(), QStringLiteral("Auto-backup successful."),
                        platform::Buttons::Ok, platform::Icon::Information,
                        QStringLiteral("Tavelin auto-backup"));
}

}  // namespace tavelin::main_window
