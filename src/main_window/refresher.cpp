// The half-second refresher: label pointers and tool tips, the title bar, the caption of the
// Quit/Clear button and the enabled state of the menu items follow the mode, the fields, the
// search string and the options. Nothing here looks at more than the shown record, so a tick
// costs the same for one record as for fifteen thousand.
#include <QAction>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include "contracts/field.h"
#include "main_window/mainform.h"
#include "main_window/name_list.h"
#include "main_window/title_text.h"
#include "options/frm_options.h"
#include "platform/clock.h"
#include "platform/platform.h"

namespace tavelin::main_window {

// The controls a tick writes, looked up once when the window is built.
struct Mainform::TickTargets {
  // A clickable label beside a field: its pointer and tool tip depend on that field.
  struct Link {
    QLabel* label;
    QLineEdit* field;
    QCursor pointer;
    QString toolTip;
    bool toolTipNamesField;  // the tool tip ends with the field's text
  };

  explicit TickTargets(const Mainform& w)
      : links{{
            link(w.Label5, w.Text[Field::FullName], envelope(), "Click to send e-mail to ", true),
            link(w.Label3, w.Text[Field::Phone1], telephone(), "Click to dial ", true),
            link(w.Label10, w.Text[Field::Phone2], telephone(), "Click to dial ", true),
            link(w.Label11, w.Text[Field::Phone3], telephone(), "Click to dial ", true),
            link(w.Label12, w.Text[Field::Phone4], telephone(), "Click to dial ", true),
            link(w.Label6, w.Text[Field::EMail], envelope(), "Click to send e-mail to ", true),
            link(w.Label8, w.Text[Field::Notes1], pointer("signpost"),
                 "Auto-launch Internet Explorer", false),
        }},
        attachmentPointer(pointer("notebook")) {
    const auto item = [&w](const char* name) { return w.menuItem(QLatin1String(name)); };
    mnuRead = item("mnuRead");
    mnuClipAddr = item("mnuClipAddr");
    mnuClipRecord = item("mnuClipRecord");
    mnuURL = item("mnuURL");
    mnuNext = item("mnuNext");
    mnuClear = item("mnuClear");
    mnuMailEmail = item("mnuMailEmail");
    const char* const browseNames[] = {"mnuMailEmail",   "mnuBack",  "mnuAdd",     "mnuEdit",
                                       "mnuDelete",      "mnuFind",  "mnuCurrent", "mnuAll",
                                       "mnuMailAddress", "mnuDial1", "mnuDial2",   "mnuDial3",
                                       "mnuDial4",       "mnuKill",  "mnuTxt",
                                       "mnuImport",      "mnuExport"};
    for (size_t i = 0; i < browseOnly.size(); ++i) browseOnly[i] = item(browseNames[i]);
    for (size_t i = 0; i < dial.size(); ++i) {
      dial[i] = w.menuItem(QStringLiteral("mnuDial%1").arg(i + 1));
    }
  }

  std::array<Link, 7> links;
  QCursor attachmentPointer;  // Label13's
  QAction *mnuRead, *mnuClipAddr, *mnuClipRecord, *mnuURL, *mnuNext, *mnuClear, *mnuMailEmail;
  std::array<QAction*, 17> browseOnly;  // enabled exactly in browse mode
  std::array<QAction*, 4> dial;         // mnuDial1..mnuDial4, for Text5..Text8

 private:
  static QCursor pointer(const char* name) {
    return QCursor(
        QPixmap(QStringLiteral(":/pointers/") + QLatin1String(name) + QStringLiteral(".png")));
  }
  static QCursor envelope() { return pointer("envelope"); }
  static QCursor telephone() { return pointer("telephone"); }
  static Link link(QLabel* label, QLineEdit* field, QCursor pointer, const char* toolTip,
                   bool namesField) {
    return {label, field, std::move(pointer), QLatin1String(toolTip), namesField};
  }
};

void Mainform::createTimer1() {
  tickTargets_ = std::make_shared<const TickTargets>(*this);
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
  Timer1->start();
}

void Mainform::Timer1_Timer() {
  const TickTargets& t = *tickTargets_;
  const options::FrmOptions& options = *frmOptions_;
  const QCursor arrow(Qt::ArrowCursor);
  // The mode as the captions show it; only the label pointers go by the flags.
  const bool browsing = Command3->text() != QLatin1String("Cancel");
  const bool typing = Adding || Editing;

  // 1. Label pointers.
  if (options.isSet(options.chkFancy)) {
    Label13->setCursor(browsing ? t.attachmentPointer : arrow);
    for (const TickTargets::Link& l : t.links) {
      l.label->setCursor(!l.field->text().isEmpty() && !typing ? l.pointer : arrow);
    }
  } else {
    Label13->setCursor(arrow);
    for (const TickTargets::Link& l : t.links) l.label->setCursor(arrow);
    List1->setToolTip(QString());
  }

  // 2. Tool tips.
  if (options.isSet(options.chkTool)) {
    for (QLineEdit* box : Text) box->setToolTip(box->text());
    if (!Text[Field::Phone1]->text().isEmpty()) {
      List1->setToolTip(QStringLiteral("Double-click to dial first phone number"));
    }
    for (const TickTargets::Link& l : t.links) {
      if (!l.toolTipNamesField) {
        l.label->setToolTip(l.toolTip);
      } else {
        l.label->setToolTip(l.field->text().isEmpty() ? QString() : l.toolTip + l.field->text());
      }
    }
    Label13->setToolTip(QStringLiteral("Notepad textfile attachment"));
  } else {
    for (QLineEdit* box : Text) box->setToolTip(QString());
    for (const TickTargets::Link& l : t.links) l.label->setToolTip(QString());
    Label13->setToolTip(QString());
  }

  // 3, 4. Reading from the clipboard fills fields; copying and the URL need a shown record.
  t.mnuRead->setEnabled(!browsing);
  t.mnuClipAddr->setEnabled(browsing);
  t.mnuClipRecord->setEnabled(browsing);
  t.mnuURL->setEnabled(browsing && !Text[Field::Notes1]->text().isEmpty());

  // 5. Title bar, written only when it changes.
  const QDateTime now = platform_.clock().now();
  TitleOptions shown;
  shown.time = options.isSet(options.Check1);
  shown.date = options.isSet(options.Check5);
  shown.searchString = options.isSet(options.Check4);
  const QString date =
      shown.date ? QLocale::system().toString(now.date(), QLocale::ShortFormat) : QString();
  const QString title = titleText(shown, now.time(), date, SearchString);
  if (windowTitle() != title) setWindowTitle(title);

  // 6. The search state.
  const bool searching = !SearchString.isEmpty();
  t.mnuNext->setEnabled(searching);
  t.mnuClear->setEnabled(searching);
  const QString command5 = searching ? QStringLiteral("Clear") : QStringLiteral("Quit");
  if (Command5->text() != command5) Command5->setText(command5);

  // 7. In browse mode the shown record follows the table.
  if (browsing) List1_Click();
  for (QAction* item : t.browseOnly) item->setEnabled(browsing);

  // 8 to 10. Dialling and mailing need something to dial or mail to.
  for (size_t i = 0; i < t.dial.size(); ++i) {
    t.dial[i]->setEnabled(!Text[Field::Phone1 + i]->text().isEmpty());
  }
  if (!browsing) {
    for (QAction* item : t.dial) item->setEnabled(false);
    t.mnuNext->setEnabled(false);
    t.mnuClear->setEnabled(false);
  }
  if (Text[Field::EMail]->text().isEmpty()) t.mnuMailEmail->setEnabled(false);
}

}  // namespace tavelin::main_window
