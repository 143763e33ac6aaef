#include "mail/message_edit.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace tavelin::mail {
namespace {

// Qt keeps line breaks as paragraph separators or LF; the files and the mail say CR LF.
QString toCrLf(QString text) {
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  return text;
}

QString fromCrLf(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

MessageEdit::MessageEdit(qsizetype maxLength, QWidget* parent)
    : QPlainTextEdit(parent), maxLength_(maxLength) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  connect(document(), &QTextDocument::contentsChange, this,
          [this](int position, int, int added) { cutExcess(position, added); });
}

QString MessageEdit::text() const {
  return toCrLf(toPlainText());
}

void MessageEdit::setText(const QString& text) {
  setPlainText(fromCrLf(text));
}

qsizetype MessageEdit::length() const {
  const QTextDocument* doc = document();
  return doc->characterCount() - 1 + (doc->blockCount() - 1);
}

QString MessageEdit::selectedText() const {
  return toCrLf(textCursor().selectedText());
}

bool MessageEdit::hasSelection() const {
  return textCursor().hasSelection();
}

int MessageEdit::selectionStart() const {
  return textCursor().selectionStart();
}

void MessageEdit::replaceSelection(const QString& text) {
  QTextCursor cursor = textCursor();
  cursor.insertText(fromCrLf(text));
  setTextCursor(cursor);
}

void MessageEdit::setCaret(int position) {
  QTextCursor cursor = textCursor();
  cursor.setPosition(qBound(0, position, document()->characterCount() - 1));
  setTextCursor(cursor);
}

// What went in beyond the maximum is taken out again from the end of what went in, so the
// text before and after an insertion stays.
void MessageEdit::cutExcess(int position, int added) {
  if (cutting_ || added <= 0) return;
  cutting_ = true;
  QTextCursor cursor(document());
  int end = qMin(position + added, document()->characterCount() - 1);
  while (length() > maxLength_ && end > position) {
    const int excess = static_cast<int>(length() - maxLength_);
    const int take = qMin(end - position, qMax(1, excess / 2 + (excess % 2)));
    cursor.setPosition(end - take);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    end -= take;
  }
  cutting_ = false;
}

}  // namespace tavelin::mail
