#pragma once

#include <QDialog>

#include "contracts/live_options.h"
#include "record_store/options_file.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace tavelin::options {

// The options window. It is created hidden at start-up and kept for the whole run: its controls
// are the live option values, and the rest of the program reads them through LiveOptions.
class FrmOptions : public QDialog, public LiveOptions {
  Q_OBJECT

 public:
  explicit FrmOptions(QWidget* parent = nullptr);

  // Start-up: the port and volume rows. The texts the combo boxes show are kept.
  void fillLists();

  OptionValues values() const;
  // Puts every value into its control; DialMode::Unset leaves neither dial mode selected.
  void apply(const OptionValues& values);

  bool isSet(const QCheckBox* box) const;

  bool timeOnTitleBar() const override;
  bool dateOnTitleBar() const override;
  bool searchStringOnTitleBar() const override;
  bool clearSearchStringIfSearchFails() const override;
  bool autoBackupOnStart() const override;
  bool tooltipsEnabled() const override;
  bool fancyPointersEnabled() const override;
  bool multiUserMode() const override;
  QString speakerVolume() const override;
  bool toneDialing() const override;

  QGroupBox* Frame1;
  QCheckBox* Check1;
  QCheckBox* Check2;
  QCheckBox* Check3;
  QCheckBox* Check4;
  QCheckBox* Check5;
  QCheckBox* chkTool;
  QCheckBox* chkFancy;
  QCheckBox* chkMulti;

  QPushButton* Command1;  // "OK"
  QPushButton* Command2;  // "Cancel"

  QGroupBox* Frame2;
  QLabel* Label1;
  QComboBox* cboPort;
  QLabel* Label3;
  QComboBox* cboVol;
  QGroupBox* Frame3;
  QRadioButton* Option1;
  QRadioButton* Option2;

 protected:
  // Escape presses no button here.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The check boxes in the order of the options file.
  std::array<QCheckBox*, 8> flagBoxes() const;
};

}  // namespace tavelin::options
