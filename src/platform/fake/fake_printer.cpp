#include "platform/fake/fake_printer.h"

namespace tavelin::platform {

void FakePrinter::print(const QString& text) {
  printed.push_back({text, currentFont});
  pending += text;
}

bool FakePrinter::endDoc(QString* error) {
  const QString job = std::exchange(pending, QString());
  if (!failWith.isEmpty()) {
    if (error) *error = failWith;
    return false;
  }
  if (!job.isEmpty()) jobs << job;
  return true;
}

bool FakePrinter::chooseFont() {
  fontDialogPresets.push_back(currentFont);
  if (fontChoices.empty()) return false;
  const std::optional<PrinterFont> choice = fontChoices.front();
  fontChoices.pop_front();
  if (!choice) return false;
  currentFont = *choice;
  return true;
}

bool FakePrinter::choosePrinter() {
  ++printerDialogs;
  if (printerChoices.empty()) return false;
  const QString choice = printerChoices.front();
  printerChoices.pop_front();
  if (choice.isEmpty()) return false;
  chosenPrinter = choice;
  return true;
}

}  // namespace tavelin::platform
