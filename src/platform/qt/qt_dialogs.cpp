#include "platform/qt/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace tavelin::platform {
namespace {

QMessageBox::StandardButton toQt(Button b) {
  switch (b) {
    case Button::Ok:
      return QMessageBox::Ok;
    case Button::Cancel:
      return QMessageBox::Cancel;
    case Button::Yes:
      return QMessageBox::Yes;
    case Button::No:
      return QMessageBox::No;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon toQt(Icon icon) {
  switch (icon) {
    case Icon::None:
      return QMessageBox::NoIcon;
    case Icon::Critical:
      return QMessageBox::Critical;
    case Icon::Question:
      return QMessageBox::Question;
    case Icon::Exclamation:
      return QMessageBox::Warning;
    case Icon::Information:
      return QMessageBox::Information;
  }
  return QMessageBox::NoIcon;
}

// Some messages end their lines with a CR alone, which Qt's labels do not break on.
QString displayed(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

Button QtDialogs::message(const Message& m) {
  QMessageBox box(toQt(m.icon), m.title, displayed(m.text), QMessageBox::NoButton,
                  QApplication::activeWindow());
  switch (m.buttons) {
    case Buttons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Ok);
      break;
    case Buttons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
    case Buttons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setEscapeButton(QMessageBox::No);
      break;
    case Buttons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
  }
  box.setDefaultButton(toQt(m.defaultButton));
  switch (box.exec()) {
    case QMessageBox::Ok:
      return Button::Ok;
    case QMessageBox::Yes:
      return Button::Yes;
    case QMessageBox::No:
      return Button::No;
    default:
      return m.buttons == Buttons::Ok      ? Button::Ok
             : m.buttons == Buttons::YesNo ? Button::No
                                           : Button::Cancel;
  }
}

QString QtDialogs::input(const QString& prompt, const QString& title, const QString& proposed) {
  bool ok = false;
  const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt,
                                             QLineEdit::Normal, proposed, &ok);
  return ok ? text : QString();
}

std::optional<QString> QtDialogs::password(const QString& prompt, const QString& title) {
  bool ok = false;
  const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt,
                                             QLineEdit::Password, QString(), &ok);
  if (!ok) return std::nullopt;
  return text;
}

namespace {

// The suffix of a filter's first pattern: "vcf" of "vCard 3.0 (*.vcf)".
QString suffixOf(const QString& filter) {
  static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
  return pattern.match(filter).captured(1);
}

std::optional<FileChoice> fileChoice(const FileRequest& request, QFileDialog::AcceptMode mode) {
  QFileDialog dialog(QApplication::activeWindow());
  if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  dialog.setNameFilters(request.filters);
  dialog.setDefaultSuffix(request.defaultSuffix);
  if (mode == QFileDialog::AcceptSave && request.defaultSuffix.isEmpty()) {
    // A name typed without a suffix takes the chosen filter's.
    if (!request.filters.isEmpty()) dialog.setDefaultSuffix(suffixOf(request.filters.first()));
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog](const QString& filter) { dialog.setDefaultSuffix(suffixOf(filter)); });
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return FileChoice{dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()};
}

std::optional<QString> fileName(const FileRequest& request, QFileDialog::AcceptMode mode) {
  const auto choice = fileChoice(request, mode);
  if (!choice) return std::nullopt;
  return choice->path;
}

}  // namespace

std::optional<QString> QtDialogs::openFileName(const FileRequest& request) {
  return fileName(request, QFileDialog::AcceptOpen);
}

std::optional<QString> QtDialogs::saveFileName(const FileRequest& request) {
  return fileName(request, QFileDialog::AcceptSave);
}

std::optional<FileChoice> QtDialogs::saveFileChoice(const FileRequest& request) {
  return fileChoice(request, QFileDialog::AcceptSave);
}

std::optional<FontChoice> QtDialogs::chooseFont(const FontChoice& preset) {
  QFont initial(preset.name);
  initial.setPointSizeF(preset.size > 0 ? preset.size : 9);
  initial.setBold(preset.bold);
  initial.setItalic(preset.italic);
  bool ok = false;
  const QFont font = QFontDialog::getFont(&ok, initial, QApplication::activeWindow());
  if (!ok) return std::nullopt;
  return FontChoice{font.family(), font.pointSizeF(), font.bold(), font.italic()};
}

}  // namespace tavelin::platform
