#include "options/frm_options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtMath>
#include <vector>

namespace tavelin::options {

namespace {

constexpr double kTwipsPerPixel = 15.0;

QRect twips(int left, int top, int width, int height) {
  const auto px = [](int t) { return qRound(t / kTwipsPerPixel); };
  return QRect(px(left), px(top), px(width), px(height));
}

// What a screen reader speaks: the caption without its access-key marks ("&&" is one "&").
QString spokenCaption(const QString& caption) {
  QString spoken;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && i + 1 < caption.size()) ++i;
    spoken += caption[i];
  }
  return spoken;
}

template <typename Widget>
Widget* place(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
  auto* widget = new Widget(caption, parent);
  widget->setObjectName(QLatin1String(name));
  widget->setGeometry(geometry);
  widget->setAccessibleName(spokenCaption(caption));
  return widget;
}

QComboBox* placeCombo(QWidget* parent, const char* name, QLabel* label, const QRect& geometry) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QLatin1String(name));
  combo->setGeometry(geometry);
  // Editable so that whatever the options file holds can be shown; typing adds no rows.
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->setAccessibleName(label->text());
  label->setBuddy(combo);
  return combo;
}

// Shows the text; the matching row, if any, becomes the current one.
void setComboText(QComboBox* combo, const QString& text) {
  combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
  combo->setEditText(text);
}

// The dialog was designed for a narrower font than the desktop's. When a caption does not fit,
// every position and width grows by the same factor, so the layout keeps its proportions.
void widenForCaptions(QWidget* dialog, const std::vector<QWidget*>& controls) {
  double factor = 1.0;
  for (const QWidget* w : controls) {
    const bool captioned = qobject_cast<const QCheckBox*>(w) ||
                           qobject_cast<const QRadioButton*>(w) || qobject_cast<const QLabel*>(w);
    if (captioned && w->width() > 0)
      factor = qMax(factor, double(w->sizeHint().width()) / w->width());
  }
  if (factor <= 1.0) return;
  const auto scaled = [factor](int x) { return qCeil(x * factor); };
  for (QWidget* w : controls)
    w->setGeometry(scaled(w->x()), w->y(), scaled(w->width()), w->height());
  dialog->setFixedSize(scaled(dialog->width()), dialog->height());
}

}  // namespace

FrmOptions::FrmOptions(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmOptions"));
  setWindowTitle(QStringLiteral("Tavelin General Options"));
  setFixedSize(twips(0, 0, 6096, 4104).size());

  Frame1 =
      place<QGroupBox>(this, "Frame1", QStringLiteral("Preferences"), twips(120, 120, 5892, 1932));
  Check1 = place<QCheckBox>(Frame1, "Check1", QStringLiteral("&Time on title bar"),
                            twips(240, 360, 2055, 255));
  Check2 =
      place<QCheckBox>(Frame1, "Check2", QStringLiteral("&Clear search string if search fails"),
                       twips(240, 1440, 2652, 255));
  Check3 = place<QCheckBox>(Frame1, "Check3", QStringLiteral("&Auto-backup on start"),
                            twips(3240, 1440, 2532, 255));
  Check4 = place<QCheckBox>(Frame1, "Check4", QStringLiteral("&Search string on title bar"),
                            twips(240, 1080, 2655, 255));
  Check5 = place<QCheckBox>(Frame1, "Check5", QStringLiteral("&Date on title bar"),
                            twips(240, 720, 2055, 255));
  chkFancy = place<QCheckBox>(Frame1, "chkFancy", QStringLiteral("&Fancy mouse pointers enabled"),
                              twips(3240, 720, 2532, 255));
  chkTool = place<QCheckBox>(Frame1, "chkTool", QStringLiteral("T&ooltips enabled"),
                             twips(3240, 360, 1812, 255));
  chkMulti = place<QCheckBox>(Frame1, "chkMulti", QStringLiteral("&Multi-user mode enabled"),
                              twips(3240, 1080, 2292, 255));

  // Enter presses "OK"; neither button is a tab stop.
  Command1 =
      place<QPushButton>(this, "Command1", QStringLiteral("OK"), twips(4920, 3600, 1092, 375));
  Command1->setDefault(true);
  Command2 =
      place<QPushButton>(this, "Command2", QStringLiteral("Cancel"), twips(3600, 3600, 1092, 372));
  Command2->setAutoDefault(false);
  for (QPushButton* button : {Command1, Command2}) button->setFocusPolicy(Qt::ClickFocus);

  Frame2 = place<QGroupBox>(this, "Frame2", QStringLiteral("Modem section"),
                            twips(120, 2160, 5892, 1212));
  Label1 = place<QLabel>(Frame2, "Label1", QStringLiteral("Comm port"), twips(240, 360, 852, 252));
  cboPort = placeCombo(Frame2, "cboPort", Label1, twips(240, 600, 1092, 288));
  Label3 = place<QLabel>(Frame2, "Label3", QStringLiteral("Speaker volume"),
                         twips(1680, 360, 1212, 252));
  cboVol = placeCombo(Frame2, "cboVol", Label3, twips(1680, 600, 1092, 288));
  // In line with the labels beside it: higher up, the caption would sit on the border of the
  // frame around it, which this style draws below its own caption.
  Frame3 =
      place<QGroupBox>(Frame2, "Frame3", QStringLiteral("Dialing"), twips(3240, 360, 2532, 732));
  // Auto-exclusive buttons may both be clear, which is how the window starts.
  Option2 =
      place<QRadioButton>(Frame3, "Option2", QStringLiteral("&Pulse"), twips(240, 360, 1092, 192));
  Option1 =
      place<QRadioButton>(Frame3, "Option1", QStringLiteral("To&ne"), twips(1560, 360, 852, 192));

  widenForCaptions(
      this, {Frame1, Check1, Check2, Check3, Check4, Check5, chkFancy, chkTool, chkMulti, Command1,
             Command2, Frame2, Label1, cboPort, Label3, cboVol, Frame3, Option1, Option2});

  QWidget* const tabOrder[] = {Check1,  Check2,   Check3,  Check4, Check5,  chkFancy,
                               chkTool, chkMulti, cboPort, cboVol, Option2, Option1};
  for (std::size_t i = 1; i < std::size(tabOrder); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void FrmOptions::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) return;
  QDialog::keyPressEvent(event);
}

void FrmOptions::fillLists() {
  const QString port = cboPort->currentText();
  const QString volume = cboVol->currentText();
  cboPort->clear();
  for (int i = 1; i <= 16; ++i) cboPort->addItem(QStringLiteral("Com%1").arg(i));
  cboVol->clear();
  for (int i = 0; i <= 3; ++i) cboVol->addItem(QString::number(i));
  // Adding to an empty list selects its first row; the options file decides the texts.
  setComboText(cboPort, port);
  setComboText(cboVol, volume);
  hide();
}

OptionValues FrmOptions::values() const {
  OptionValues values;
  const auto boxes = flagBoxes();
  for (std::size_t i = 0; i < boxes.size(); ++i) values.flags[i] = isSet(boxes[i]) ? 1 : 0;
  values.port = cboPort->currentText();
  values.dialMode = Option1->isChecked()   ? DialMode::Tone
                    : Option2->isChecked() ? DialMode::Pulse
                                           : DialMode::Unset;
  values.volume = cboVol->currentText();
  return values;
}

void FrmOptions::apply(const OptionValues& values) {
  const auto boxes = flagBoxes();
  for (std::size_t i = 0; i < boxes.size(); ++i) boxes[i]->setChecked(values.flags[i] == 1);
  setComboText(cboPort, values.port);
  setComboText(cboVol, values.volume);
  switch (values.dialMode) {
    case DialMode::Tone:
      Option1->setChecked(true);
      break;
    case DialMode::Pulse:
      Option2->setChecked(true);
      break;
    case DialMode::Unset:
      // An auto-exclusive button refuses to be cleared while it is the checked one.
      for (QRadioButton* button : {Option1, Option2}) {
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->setAutoExclusive(true);
      }
      break;
  }
}

bool FrmOptions::isSet(const QCheckBox* box) const {
  return box->checkState() == Qt::Checked;
}

bool FrmOptions::timeOnTitleBar() const {
  return isSet(Check1);
}

bool FrmOptions::dateOnTitleBar() const {
  return isSet(Check5);
}

bool FrmOptions::searchStringOnTitleBar() const {
  return isSet(Check4);
}

bool FrmOptions::clearSearchStringIfSearchFails() const {
  return isSet(Check2);
}

bool FrmOptions::autoBackupOnStart() const {
  return Check3->isChecked();
}

bool FrmOptions::tooltipsEnabled() const {
  return isSet(chkTool);
}

bool FrmOptions::fancyPointersEnabled() const {
  return isSet(chkFancy);
}

bool FrmOptions::multiUserMode() const {
  return chkMulti->isChecked();
}

QString FrmOptions::speakerVolume() const {
  return cboVol->currentText();
}

bool FrmOptions::toneDialing() const {
  return Option1->isChecked();
}

std::array<QCheckBox*, 8> FrmOptions::flagBoxes() const {
  return {Check1, Check2, Check3, Check4, Check5, chkTool, chkFancy, chkMulti};
}

}  // namespace tavelin::options
