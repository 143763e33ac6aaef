#pragma once

#include <QString>

namespace tavelin::platform {

// The printer font: what the print items and the mail editor read and set.
struct PrinterFont {
  QString name;
  double size = 10;
  bool bold = false;
  bool italic = false;

  bool operator==(const PrinterFont&) const = default;
};

// The one printer object of the run: the chosen printer and its font hold until the program
// ends. Text accumulates into one job until endDoc sends it.
class Printer {
 public:
  virtual ~Printer() = default;

  // Prints the text at the current position: CR LF (or LF) starts a new line, a tab moves to
  // the column after the ten-character labels, a full page continues on the next.
  virtual void print(const QString& text) = 0;
  // Sends everything printed since the last end as one job. False, with the reason in
  // *error, when it could not be sent; nothing printed is then kept.
  virtual bool endDoc(QString* error) = 0;

  virtual PrinterFont font() const = 0;
  virtual void setFont(const PrinterFont& font) = 0;

  // The font dialog over the printer's fonts, existing fonts only, without effects, preset
  // from the printer's font. True and the font set on OK; false and no change on Cancel.
  virtual bool chooseFont() = 0;
  // The printer dialog without page range and print to file. True and the chosen printer
  // used from now on, for this run only, on OK; false and no change on Cancel.
  virtual bool choosePrinter() = 0;
};

}  // namespace tavelin::platform
