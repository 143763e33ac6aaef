// The modem dialer and the options and About dialogs, wired to the menu and the labels.
#include <QAction>
#include <QLabel>
#include <QLineEdit>

#include "contracts/field.h"
#include "dialer/dialer.h"
#include "main_window/label_click.h"
#include "main_window/mainform.h"
#include "options/frm_about.h"
#include "options/frm_options.h"
#include "options/options_dialog.h"
#include "platform/platform.h"

namespace tavelin::main_window {

void Mainform::connectDialerAndOptions() {
  optionsDialog_ =
      std::make_unique<options::OptionsDialog>(*frmOptions_, MSComm1_, platform_, *this, *this);
  dialer_ = std::make_unique<dialer::Dialer>(
      MSComm1_, platform_.dialogs(), *frmOptions_, [this] { optionsDialog_->mnuOptions_Click(); },
      *this);

  for (int i = 0; i < 4; ++i) {
    connect(menuItem(QStringLiteral("mnuDial%1").arg(i + 1)), &QAction::triggered, this,
            [this, i] { dialer_->DialNumber(Text[Field::Phone1 + i]->text()); });
  }
  const std::pair<QLabel*, int> telephones[] = {{Label3, Field::Phone1},
                                                {Label10, Field::Phone2},
                                                {Label11, Field::Phone3},
                                                {Label12, Field::Phone4}};
  for (const auto& [label, field] : telephones) {
    onLabelClick(label, [this, field = field] { dialer_->dialShownNumber(field); });
  }
  onLabelClick(Label7, [this] { dialer_->dialFirstNumberWhenBrowsing(); });

  connect(menuItem(QStringLiteral("mnuOptions")), &QAction::triggered, this,
          [this] { optionsDialog_->mnuOptions_Click(); });
  connect(menuItem(QStringLiteral("mnuAbout")), &QAction::triggered, this,
          [this] { options::mnuAbout_Click(platform_, *this, *this); });
}

}  // namespace tavelin::main_window
