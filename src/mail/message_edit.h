#pragma once

#include <QPlainTextEdit>

namespace tavelin::mail {

// The message text box. Its text is read and written in the CR LF form the files and the
// mail use, and counted in that form: a line break is two characters. It never holds more
// than its maximum: text typed, pasted or put in beyond it is cut off.
class MessageEdit final : public QPlainTextEdit {
  Q_OBJECT
 public:
  MessageEdit(qsizetype maxLength, QWidget* parent);

  QString text() const;
  void setText(const QString& text);
  qsizetype length() const;

  QString selectedText() const;
  bool hasSelection() const;
  int selectionStart() const;
  // Replaces the selection, or inserts at the caret when nothing is selected.
  void replaceSelection(const QString& text);
  // The caret at position, nothing selected.
  void setCaret(int position);

 private:
  void cutExcess(int position, int added);

  qsizetype maxLength_;
  bool cutting_ = false;
};

}  // namespace tavelin::mail
