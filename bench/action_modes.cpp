#include "action_modes.h"

#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

#include "bench_support.h"
#include "main_window/mainform.h"
#include "main_window/name_list.h"
#include "platform/fake/fake_platform.h"
#include "record_store/paths.h"

namespace tavelin::bench {

using main_window::Mainform;
using platform::Button;

namespace {

// Until the window has painted the record shown again.
void settle() {
  QCoreApplication::processEvents();
}

void addRecord(Mainform& w) {
  w.Command4->click();
  w.Text[0]->setText(QStringLiteral("Zeno Newcomer"));
  w.Text[4]->setText(QStringLiteral("555 0199"));
  w.Text_KeyDown(4, 13);
}

void editRecord(Mainform& w) {
  w.Command2->click();
  w.Text[3]->setText(w.Text[3]->text() + QStringLiteral(" Noord"));
  w.Text_KeyDown(3, 13);
}

}  // namespace

bool isActionMode(const QString& mode) {
  for (const char* m : {"add", "edit", "delete", "backup", "restore"}) {
    if (mode == QLatin1String(m)) return true;
  }
  return false;
}

int runActionMode(const QString& mode, Mainform& window, platform::FakePlatform& platform) {
  // A record in the middle of the list, as a user would have picked it.
  window.List1->setListIndex(window.List1->model()->rowCount() / 2);
  settle();
  if (mode == QLatin1String("restore")) QFile::copy(kDataFileName, kBackupFileName);
  // Every question is answered Yes; the reports that follow take their default, OK.
  platform.fakeDialogs.answers.push_back(Button::Yes);
  const QByteArray name = mode.toLatin1();
  report(name.constData(), timeMs([&] {
           if (mode == QLatin1String("add")) {
             addRecord(window);
           } else if (mode == QLatin1String("edit")) {
             editRecord(window);
           } else if (mode == QLatin1String("delete")) {
             window.Command3->click();
           } else if (mode == QLatin1String("backup")) {
             window.Command6->click();
           } else {
             window.Command7->click();
           }
           settle();
         }));
  // An error box means the action did not do what was timed. At 15000 records the limit
  // is reached: that box belongs to the action.
  const auto limit = QStringLiteral("Maximum number of records reached!");
  for (const platform::Message& shown : platform.fakeDialogs.shown) {
    if (shown.icon == platform::Icon::Critical && shown.text != limit) {
      std::fprintf(stderr, "%s\n", qPrintable(shown.text));
      return 1;
    }
  }
  return 0;
}

}  // namespace tavelin::bench
