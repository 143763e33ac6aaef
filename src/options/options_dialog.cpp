#include "options/options_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>

#include "contracts/record_view.h"
#include "dialer/comm_control.h"
#include "options/frm_options.h"
#include "options/options_io.h"
#include "options/pseudo_modal.h"
#include "platform/dialogs.h"
#include "platform/platform.h"
#include "record_store/paths.h"

namespace tavelin::options {

using platform::Buttons;
using platform::Icon;

OptionsDialog::OptionsDialog(FrmOptions& form, dialer::CommControl& comm,
                             platform::Platform& platform, QWidget& mainWindow, RecordView& view)
    : form_(form), comm_(comm), platform_(platform), mainWindow_(mainWindow), view_(view) {
  QObject::connect(form_.Command1, &QPushButton::clicked, &form_, [this] { Command1_Click(); });
  QObject::connect(form_.Command2, &QPushButton::clicked, &form_, [this] { Command2_Click(); });
  QObject::connect(form_.cboPort, &QComboBox::activated, &form_,
                   [this](int index) { cboPort_Click(index); });
}

void OptionsDialog::mnuOptions_Click() {
  showAndWait(form_, mainWindow_);
  view_.focusList();
}

void OptionsDialog::Command1_Click() {
  const QString path = optionsFilePath(platform_.configRoot());
  if (const auto error = WriteOptions(form_, path)) {
    // The old file is still there; the dialog stays open, so Cancel can keep the choices for
    // this run.
    platform::showMessage(platform_.dialogs(),
                          QStringLiteral("Could not write the file \"%1\" (%2). The options were "
                                         "not saved.")
                              .arg(QDir::toNativeSeparators(error->fileName), error->reason),
                          Buttons::Ok, Icon::Critical);
    return;
  }
  form_.hide();
}

void OptionsDialog::Command2_Click() {
  // The controls keep what was changed: the program reads its options there until it ends.
  form_.hide();
}

void OptionsDialog::cboPort_Click(int index) {
  OldPort = comm_.commPort();
  NewPort = index + 1;
  if (NewPort == OldPort) return;
  if (comm_.portOpen()) comm_.setPortOpen(false);
  auto error = comm_.setCommPort(NewPort);
  if (const auto openError = comm_.setPortOpen(true)) error = openError;
  if (error && error->number != dialer::kPortAlreadyOpen) {
    platform::showMessage(platform_.dialogs(), error->text, Buttons::Ok, Icon::Exclamation);
    comm_.setCommPort(OldPort);
  }
}

}  // namespace tavelin::options
