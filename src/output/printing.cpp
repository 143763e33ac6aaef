#include "output/printing.h"

#include "contracts/record_view.h"
#include "output/print_text.h"
#include "platform/dialogs.h"
#include "platform/printer.h"

namespace tavelin::output {

using platform::Button;
using platform::Buttons;
using platform::Icon;

Printing::Printing(platform::Printer& printer, platform::Dialogs& dialogs, RecordView& view)
    : printer_(printer), dialogs_(dialogs), view_(view) {}

void Printing::PrintRecord(int row) {
  // One print statement: the record text and the line break the statement adds.
  printer_.print(recordPrintText(view_, row) + QLatin1String("\r\n"));
}

bool Printing::refusedWhileEditing() {
  if (!view_.isCancelShown()) return false;
  platform::showMessage(dialogs_, QStringLiteral("Cannot print in ADD or EDIT mode."), Buttons::Ok,
                        Icon::Critical);
  view_.focusList();
  return true;
}

// Rows first to last as one job. A job that could not be sent is said so, naming the printer
// or file, instead of vanishing.
void Printing::printRows(int first, int last) {
  view_.setBusy(true);
  for (int row = first; row <= last; ++row) PrintRecord(row);
  QString error;
  const bool sent = printer_.endDoc(&error);
  view_.setBusy(false);
  if (!sent) {
    platform::showMessage(dialogs_, QStringLiteral("Printing failed: %1.").arg(error), Buttons::Ok,
                          Icon::Critical);
  }
}

void Printing::mnuCurrent_Click() {
  if (refusedWhileEditing()) return;
  const int row = view_.selectedRow();
  // With no row selected there is no record to print.
  if (row >= 0 && row < view_.recordCount()) printRows(row, row);
  view_.focusList();
}

void Printing::mnuAll_Click() {
  if (refusedWhileEditing()) return;
  if (platform::showMessage(dialogs_, QStringLiteral("Really print ALL the records?"),
                            Buttons::YesNo, Icon::Information) == Button::Yes) {
    printRows(0, view_.recordCount() - 1);
  }
  view_.focusList();
}

void Printing::mnuSetFont_Click() {
  printer_.chooseFont();
}

void Printing::mnuSetPrinter_Click() {
  printer_.choosePrinter();
}

}  // namespace tavelin::output
