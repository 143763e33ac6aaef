#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "platform/printer.h"

class QPrinter;

namespace tavelin::platform {

class SettingsStore;

// Prints through Qt PrintSupport: the system's printers through CUPS, or a PDF file when the
// setting Platform/Printer names a path ending in ".pdf". The text of a job is kept until
// endDoc and laid out then, so a failed job leaves nothing half-printed behind.
class QtPrinter final : public Printer {
 public:
  explicit QtPrinter(const SettingsStore& settings);
  ~QtPrinter() override;

  void print(const QString& text) override;
  bool endDoc(QString* error) override;
  PrinterFont font() const override;
  void setFont(const PrinterFont& font) override { font_ = font; }
  bool chooseFont() override;
  bool choosePrinter() override;

 private:
  QPrinter& qprinter();
  // Points the printer at the setting's PDF file or printer; false when that printer is missing.
  bool applySetting(QString* error);

  const SettingsStore& settings_;
  std::unique_ptr<QPrinter> printer_;  // made when first needed: it wants a running application
  bool chosen_ = false;                // the printer dialog picked printer_ for the rest of the run
  mutable std::optional<PrinterFont> font_;
  QString pending_;
};

}  // namespace tavelin::platform
