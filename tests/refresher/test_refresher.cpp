// The refresher against a fake window: which menu items each mode and record leave enabled,
// the label pointers and tool tips by the options, and the title and the Quit/Clear caption.
#include <QLocale>
#include <QTest>
#include <map>

#include "contracts/field.h"
#include "contracts/window_controls.h"
#include "platform/clock.h"
#include "refresher/refresher.h"
#include "support/fake_live_options.h"
#include "support/fake_record_view.h"

using namespace tavelin;

namespace {

const char* const kLabelNames[kClickLabelCount] = {"Label5",  "Label3", "Label10", "Label11",
                                                   "Label12", "Label6", "Label8",  "Label13"};

// The last state written to each control, and how often the title and caption were written.
class FakeWindowControls final : public WindowControls {
 public:
  void setLabelPointer(ClickLabel label, bool own) override { pointers[label] = own; }
  void setLabelToolTip(ClickLabel label, const QString& text) override { labelTips[label] = text; }
  void setFieldToolTip(int field, const QString& text) override { fieldTips.at(field) = text; }
  void setListToolTip(const QString& text) override { listTip = text; }
  QString title() const override { return shownTitle; }
  void setTitle(const QString& title) override { shownTitle = title, ++titleWrites; }
  QString quitButtonText() const override { return quit; }
  void setQuitButtonText(const QString& text) override { quit = text, ++quitWrites; }
  void setMenuItemEnabled(MenuItem item, bool enabled) override { items[item] = enabled; }

  // The labels with their own pointer, and the labels' tool tips that are not empty.
  QStringList ownPointers() const {
    QStringList names;
    for (const auto& [label, own] : pointers) {
      if (own) names << kLabelNames[int(label)];
    }
    return names;
  }
  QStringList labelToolTips() const {
    QStringList tips;
    for (const auto& [label, text] : labelTips) {
      if (!text.isEmpty()) tips << QString::fromLatin1(kLabelNames[int(label)]) + '=' + text;
    }
    return tips;
  }
  QStringList enabledItems() const {
    QStringList names;
    for (const auto& [item, enabled] : items) {
      if (enabled) names << menuItemName(item);
    }
    names.sort();
    return names;
  }

  std::map<ClickLabel, bool> pointers;
  std::map<ClickLabel, QString> labelTips;
  FieldTexts fieldTips;
  QString listTip = QStringLiteral("left from before");
  QString shownTitle = QStringLiteral("Malvek Tavelin");
  QString quit = QStringLiteral("Quit");
  int titleWrites = 0, quitWrites = 0;
  std::map<MenuItem, bool> items;
};

class FixedClock final : public platform::Clock {
 public:
  QDateTime now() const override { return time; }
  QDateTime time{QDate(2026, 3, 4), QTime(9, 5, 30)};
};

FieldTexts fullRecord() {
  FieldTexts f;
  f[Field::FullName] = "Ann Smith";
  f[Field::Address1] = "1 Long Road";
  f[Field::Phone1] = "555 1234";
  f[Field::Phone2] = "666";
  f[Field::Phone3] = "777";
  f[Field::Phone4] = "888";
  f[Field::EMail] = "ann@example.org";
  f[Field::Notes1] = "https://ann.example";
  return f;
}

// A window in the named mode showing the full record less the emptied fields.
struct Window {
  Window(const QString& mode, const QList<int>& emptied) {
    view.fields = fullRecord();
    for (int field : emptied) view.fields.at(field).clear();
    // The buttons' caption and the flags differ for up to one tick.
    view.cancelShown = mode == "edit" || mode == "add" || mode == "caption only";
    view.editing = mode == "edit" || mode == "flags only";
    view.adding = mode == "add";
  }
  void tick() { refresher.Timer1_Timer(); }

  FixedClock clock;
  test::FakeLiveOptions options;
  test::FakeRecordView view;
  FakeWindowControls controls;
  QString searchString;
  QString syncStatus;
  refresher::Refresher refresher{clock, options, view, controls, searchString, &syncStatus};
};

QStringList allItemsBut(const QStringList& left) {
  QStringList names;
  for (int i = 0; i < kMenuItemCount; ++i) {
    const QString name = menuItemName(MenuItem(i));
    if (!left.contains(name)) names << name;
  }
  names.sort();
  return names;
}

}  // namespace

class RefresherTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void menuPolicy_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QList<int>>("emptied");
    QTest::addColumn<QString>("searchString");
    QTest::addColumn<QStringList>("enabled");

    const QStringList addOrEdit{"mnuRead"};
    QTest::newRow("browse") << "browse" << QList<int>{} << ""
                            << allItemsBut({"mnuRead", "mnuNext", "mnuClear"});
    QTest::newRow("browse, searching")
        << "browse" << QList<int>{} << "ann" << allItemsBut({"mnuRead"});
    QTest::newRow("browse, blanks searched")
        << "browse" << QList<int>{} << "  " << allItemsBut({"mnuRead"});
    QTest::newRow("browse, no phone 2, e-mail or URL")
        << "browse" << QList<int>{Field::Phone2, Field::EMail, Field::Notes1} << ""
        << allItemsBut({"mnuRead", "mnuNext", "mnuClear", "mnuDial2", "mnuMailEmail", "mnuURL"});
    QTest::newRow("browse, no phones")
        << "browse" << QList<int>{Field::Phone1, Field::Phone2, Field::Phone3, Field::Phone4}
        << "ann" << allItemsBut({"mnuRead", "mnuDial1", "mnuDial2", "mnuDial3", "mnuDial4"});
    QTest::newRow("edit, searching") << "edit" << QList<int>{} << "ann" << addOrEdit;
    QTest::newRow("add, empty record")
        << "add" << QList<int>{Field::FullName, Field::Phone1, Field::EMail} << "" << addOrEdit;
    // The menu goes by the buttons' caption, not by the flags.
    QTest::newRow("caption only") << "caption only" << QList<int>{} << "ann" << addOrEdit;
    QTest::newRow("flags only") << "flags only" << QList<int>{} << "ann"
                                << allItemsBut({"mnuRead"});
  }

  void menuPolicy() {
    QFETCH(QString, mode);
    QFETCH(QList<int>, emptied);
    QFETCH(QString, searchString);
    QFETCH(QStringList, enabled);

    Window w(mode, emptied);
    w.searchString = searchString;
    w.tick();
    QCOMPARE(w.controls.items.size(), size_t(kMenuItemCount));  // every item is written each tick
    QCOMPARE(w.controls.enabledItems(), enabled);
    // Browsing, the selected record is shown again; typed text is left alone.
    QCOMPARE(w.view.recordShown, w.view.cancelShown ? 0 : 1);
    FieldTexts shown = fullRecord();
    for (int field : emptied) shown.at(field).clear();
    QCOMPARE(w.view.fields, shown);
  }

  void menuFollowsTheRecordShownThisTick() {
    // The table changed under the shown record: the items go by the record as shown again.
    Window w("browse", {Field::Phone1, Field::EMail});
    w.view.onShowSelected = [&] {
      w.view.fields = fullRecord();
      w.view.fields[Field::Phone3].clear();
    };
    w.tick();
    QCOMPARE(w.controls.enabledItems(),
             allItemsBut({"mnuRead", "mnuNext", "mnuClear", "mnuDial3"}));
  }

  void pointersAndToolTips_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QList<int>>("emptied");
    QTest::addColumn<bool>("fancy");
    QTest::addColumn<bool>("tooltips");
    QTest::addColumn<QStringList>("ownPointers");
    QTest::addColumn<QStringList>("labelToolTips");
    QTest::addColumn<QString>("listToolTip");

    const QStringList all(std::begin(kLabelNames), std::end(kLabelNames));
    const QStringList tips{"Label5=Click to send e-mail to Ann Smith",
                           "Label3=Click to dial 555 1234",
                           "Label10=Click to dial 666",
                           "Label11=Click to dial 777",
                           "Label12=Click to dial 888",
                           "Label6=Click to send e-mail to ann@example.org",
                           "Label8=Auto-launch Internet Explorer",
                           "Label13=Notepad textfile attachment"};
    const QString kept = "left from before", dial = "Double-click to dial first phone number";
    const QList<int> none;

    QTest::newRow("all off") << "browse" << none << false << false << QStringList{} << QStringList{}
                             << "";
    QTest::newRow("fancy, browse")
        << "browse" << none << true << false << all << QStringList{} << kept;
    QTest::newRow("fancy, edit") << "edit" << none << true << false << QStringList{}
                                 << QStringList{} << kept;
    // The page glyph goes by the caption, the others by the flags.
    QTest::newRow("fancy, caption only")
        << "caption only" << none << true << false << all.mid(0, 7) << QStringList{} << kept;
    QTest::newRow("fancy, flags only")
        << "flags only" << none << true << false << QStringList{"Label13"} << QStringList{} << kept;
    QTest::newRow("fancy, no phone 2 or URL")
        << "browse" << QList<int>{Field::Phone2, Field::Notes1} << true << false
        << QStringList{"Label5", "Label3", "Label11", "Label12", "Label6", "Label13"}
        << QStringList{} << kept;
    QTest::newRow("both, browse") << "browse" << none << true << true << all << tips << dial;
    QTest::newRow("tool tips, edit")
        << "edit" << none << false << true << QStringList{} << tips << dial;
    // Without a Phone 1 the list keeps its tool tip unless fancy pointers are off.
    QTest::newRow("both, no phone 1 or URL")
        << "browse" << QList<int>{Field::Phone1, Field::Notes1} << true << true
        << QStringList{"Label5", "Label10", "Label11", "Label12", "Label6", "Label13"}
        << QStringList{tips[0], tips[2], tips[3], tips[4], tips[5], tips[6], tips[7]} << kept;
    QTest::newRow("tool tips, no phone 1, name or e-mail")
        << "browse" << QList<int>{Field::Phone1, Field::FullName, Field::EMail} << false << true
        << QStringList{} << QStringList{tips[2], tips[3], tips[4], tips[6], tips[7]} << "";
  }

  void pointersAndToolTips() {
    QFETCH(QString, mode);
    QFETCH(QList<int>, emptied);
    QFETCH(bool, fancy);
    QFETCH(bool, tooltips);
    QFETCH(QStringList, ownPointers);
    QFETCH(QStringList, labelToolTips);
    QFETCH(QString, listToolTip);

    Window w(mode, emptied);
    w.options.fancyPointers = fancy;
    w.options.tooltips = tooltips;
    w.controls.fieldTips.fill("stale");
    w.controls.labelTips[ClickLabel::Label8] = "stale";
    w.tick();
    QCOMPARE(w.controls.pointers.size(), size_t(kClickLabelCount));
    QCOMPARE(w.controls.ownPointers(), ownPointers);
    QCOMPARE(w.controls.labelToolTips(), labelToolTips);
    QCOMPARE(w.controls.listTip, listToolTip);
    // A field's tool tip is its whole text, or nothing.
    QCOMPARE(w.controls.fieldTips, tooltips ? w.view.fields : FieldTexts{});
  }

  void titleAndQuitCaption_data() {
    QTest::addColumn<bool>("time");
    QTest::addColumn<bool>("date");
    QTest::addColumn<bool>("searchOnTitle");
    QTest::addColumn<QString>("searchString");
    QTest::addColumn<QString>("title");  // %1: the short date
    QTest::addColumn<QString>("quit");

    QTest::newRow("nothing") << false << false << true << ""
                             << "Malvek Tavelin"
                             << "Quit";
    QTest::newRow("time") << true << false << false << "ann"
                          << "Malvek Tavelin [09:05]"
                          << "Clear";
    // The date and the search string's first 25 characters: test_output_wiring.
    QTest::newRow("everything, blanks searched") << true << true << true << "   "
                                                 << "Malvek Tavelin [09:05]  [%1]"
                                                 << "Clear";
  }

  void titleAndQuitCaption() {
    QFETCH(bool, time);
    QFETCH(bool, date);
    QFETCH(bool, searchOnTitle);
    QFETCH(QString, searchString);
    QFETCH(QString, title);
    QFETCH(QString, quit);

    Window w("browse", {});
    w.options.time = time, w.options.date = date, w.options.searchString = searchOnTitle;
    w.searchString = searchString;
    if (title.contains("%1")) {
      title = title.arg(QLocale::system().toString(w.clock.time.date(), QLocale::ShortFormat));
    }
    w.tick();
    w.tick();
    QCOMPARE(w.controls.shownTitle, title);
    QCOMPARE(w.controls.quit, quit);
    // Both are written only when they change: at most once in two ticks.
    QCOMPARE(w.controls.titleWrites, title == "Malvek Tavelin" ? 0 : 1);
    QCOMPARE(w.controls.quitWrites, quit == "Quit" ? 0 : 1);

    // A new minute and a cleared search string follow at the next tick.
    w.clock.time = w.clock.time.addSecs(60);
    w.searchString.clear();
    w.tick();
    QCOMPARE(w.controls.shownTitle.contains("09:06"), time);
    QCOMPARE(w.controls.quit, QStringLiteral("Quit"));
  }

  // A sync in progress shows after the rest of the title, in any mode, and goes with it.
  void syncStatusAfterTheTitle() {
    Window w("edit", {});
    w.options.time = true;
    w.syncStatus = QStringLiteral("Synchronising 1200/15000");
    w.tick();
    QCOMPARE(w.controls.shownTitle,
             QStringLiteral("Malvek Tavelin [09:05] - Synchronising 1200/15000"));
    w.syncStatus.clear();
    w.tick();
    QCOMPARE(w.controls.shownTitle, QStringLiteral("Malvek Tavelin [09:05]"));
  }
};

QTEST_GUILESS_MAIN(RefresherTest)
#include "test_refresher.moc"
