#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

#include "platform/printer.h"

namespace tavelin::platform {

// Records what was printed, in which font, and each job as it was ended. The dialogs answer
// from queues; an empty queue answers Cancel. With failWith set, every endDoc fails with that
// reason and drops the job.
class FakePrinter final : public Printer {
 public:
  void print(const QString& text) override;
  bool endDoc(QString* error) override;
  PrinterFont font() const override { return currentFont; }
  void setFont(const PrinterFont& font) override { currentFont = font; }
  bool chooseFont() override;
  bool choosePrinter() override;

  struct Printed {
    QString text;
    PrinterFont font;  // the font at the moment of printing
  };
  std::vector<Printed> printed;  // every print, ended or not
  QStringList jobs;              // the text of each job, as endDoc sent it
  QString pending;               // printed since the last endDoc
  PrinterFont currentFont{QStringLiteral("Sans Serif"), 10, false, false};
  QString failWith;

  std::deque<std::optional<PrinterFont>> fontChoices;  // nullopt: Cancel
  std::vector<PrinterFont> fontDialogPresets;          // the font each font dialog opened with
  std::deque<QString> printerChoices;                  // the printer picked; empty text: Cancel
  QString chosenPrinter;
  int printerDialogs = 0;
};

}  // namespace tavelin::platform
