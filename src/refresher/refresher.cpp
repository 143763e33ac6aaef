// Nothing here looks at more than the shown record, so a tick costs the same for one record as
// for fifteen thousand.
#include "refresher/refresher.h"

#include <QLocale>
#include <array>

#include "contracts/field.h"
#include "contracts/live_options.h"
#include "contracts/record_view.h"
#include "contracts/window_controls.h"
#include "platform/clock.h"
#include "record_store/record_lines.h"
#include "refresher/title_text.h"

namespace tavelin::refresher {

namespace {

// A clickable label beside a field: its pointer and tool tip depend on that field.
struct Link {
  ClickLabel label;
  int field;
  const char* toolTip;
  bool toolTipNamesField;  // the tool tip ends with the field's text
};

constexpr std::array<Link, 7> kLinks{{
    {ClickLabel::Label5, Field::FullName, "Click to send e-mail to ", true},
    {ClickLabel::Label3, Field::Phone1, "Click to dial ", true},
    {ClickLabel::Label10, Field::Phone2, "Click to dial ", true},
    {ClickLabel::Label11, Field::Phone3, "Click to dial ", true},
    {ClickLabel::Label12, Field::Phone4, "Click to dial ", true},
    {ClickLabel::Label6, Field::EMail, "Click to send e-mail to ", true},
    {ClickLabel::Label8, Field::Notes1, "Auto-launch Internet Explorer", false},
}};

// Enabled exactly in browse mode.
constexpr std::array<MenuItem, 18> kBrowseOnly{
    MenuItem::mnuMailEmail,   MenuItem::mnuBack,  MenuItem::mnuAdd,     MenuItem::mnuEdit,
    MenuItem::mnuDelete,      MenuItem::mnuFind,  MenuItem::mnuCurrent, MenuItem::mnuAll,
    MenuItem::mnuMailAddress, MenuItem::mnuDial1, MenuItem::mnuDial2,   MenuItem::mnuDial3,
    MenuItem::mnuDial4,       MenuItem::mnuKill,  MenuItem::mnuTxt,     MenuItem::mnuImport,
    MenuItem::mnuExport,      MenuItem::mnuSync};

// mnuDial1..mnuDial4 dial Phone 1..4.
constexpr std::array<MenuItem, 4> kDial{MenuItem::mnuDial1, MenuItem::mnuDial2, MenuItem::mnuDial3,
                                        MenuItem::mnuDial4};

}  // namespace

Refresher::Refresher(const platform::Clock& clock, const LiveOptions& options, RecordView& view,
                     WindowControls& controls, const QString& searchString,
                     const QString* syncStatus)
    : clock_(clock),
      options_(options),
      view_(view),
      controls_(controls),
      searchString_(searchString),
      syncStatus_(syncStatus) {}

void Refresher::Timer1_Timer() {
  // The mode as the captions show it; only the label pointers go by the flags.
  const bool browsing = !view_.isCancelShown();
  const bool typing = view_.isAddingOrEditing();

  setPointers(browsing, typing);
  setToolTips();

  // Reading from the clipboard fills fields; copying and the URL need a shown record.
  controls_.setMenuItemEnabled(MenuItem::mnuRead, !browsing);
  controls_.setMenuItemEnabled(MenuItem::mnuClipAddr, browsing);
  controls_.setMenuItemEnabled(MenuItem::mnuClipRecord, browsing);
  controls_.setMenuItemEnabled(MenuItem::mnuURL,
                               browsing && !view_.fieldText(Field::Notes1).isEmpty());

  setTitle();

  // The search state.
  const bool searching = !searchString_.isEmpty();
  controls_.setMenuItemEnabled(MenuItem::mnuNext, searching);
  controls_.setMenuItemEnabled(MenuItem::mnuClear, searching);
  const QString command5 = searching ? QStringLiteral("Clear") : QStringLiteral("Quit");
  if (controls_.quitButtonText() != command5) controls_.setQuitButtonText(command5);

  // In browse mode the shown record follows the table, and what follows reads it as shown.
  if (browsing) view_.showSelectedRecord();
  for (MenuItem item : kBrowseOnly) controls_.setMenuItemEnabled(item, browsing);

  // Dialling and mailing need something to dial or mail to.
  for (size_t i = 0; i < kDial.size(); ++i) {
    controls_.setMenuItemEnabled(kDial[i], !view_.fieldText(Field::Phone1 + int(i)).isEmpty());
  }
  if (!browsing) {
    for (MenuItem item : kDial) controls_.setMenuItemEnabled(item, false);
    controls_.setMenuItemEnabled(MenuItem::mnuNext, false);
    controls_.setMenuItemEnabled(MenuItem::mnuClear, false);
  }
  if (view_.fieldText(Field::EMail).isEmpty()) {
    controls_.setMenuItemEnabled(MenuItem::mnuMailEmail, false);
  }
}

void Refresher::setPointers(bool browsing, bool typing) {
  if (options_.fancyPointersEnabled()) {
    controls_.setLabelPointer(ClickLabel::Label13, browsing);
    for (const Link& l : kLinks) {
      controls_.setLabelPointer(l.label, !view_.fieldText(l.field).isEmpty() && !typing);
    }
  } else {
    controls_.setLabelPointer(ClickLabel::Label13, false);
    for (const Link& l : kLinks) controls_.setLabelPointer(l.label, false);
    controls_.setListToolTip(QString());
  }
}

void Refresher::setToolTips() {
  if (options_.tooltipsEnabled()) {
    for (int field = 0; field < kFieldCount; ++field) {
      controls_.setFieldToolTip(field, view_.fieldText(field));
    }
    // Without a Phone 1 the list keeps the tool tip it has.
    if (!view_.fieldText(Field::Phone1).isEmpty()) {
      controls_.setListToolTip(QStringLiteral("Double-click to dial first phone number"));
    }
    for (const Link& l : kLinks) {
      const QString toolTip = QLatin1String(l.toolTip);
      if (!l.toolTipNamesField) {
        controls_.setLabelToolTip(l.label, toolTip);
      } else {
        const QString text = view_.fieldText(l.field);
        controls_.setLabelToolTip(l.label, text.isEmpty() ? QString() : toolTip + text);
      }
    }
    controls_.setLabelToolTip(ClickLabel::Label13, QStringLiteral("Notepad textfile attachment"));
  } else {
    for (int field = 0; field < kFieldCount; ++field) controls_.setFieldToolTip(field, QString());
    for (const Link& l : kLinks) controls_.setLabelToolTip(l.label, QString());
    controls_.setLabelToolTip(ClickLabel::Label13, QString());
  }
}

// Written only when it changes.
void Refresher::setTitle() {
  const QDateTime now = clock_.now();
  TitleOptions shown;
  shown.time = options_.timeOnTitleBar();
  shown.date = options_.dateOnTitleBar();
  shown.searchString = options_.searchStringOnTitleBar();
  const QString date =
      shown.date ? QLocale::system().toString(now.date(), QLocale::ShortFormat) : QString();
  QString title = titleText(shown, now.time(), date, searchString_);
  if (syncStatus_ && !syncStatus_->isEmpty()) title += QStringLiteral(" - ") + *syncStatus_;
  if (controls_.title() != title) controls_.setTitle(title);
}

}  // namespace tavelin::refresher
