#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tavelin::platform {

// The title of every box that has none of its own.
inline const QString kAppTitle = QStringLiteral("Tavelin");

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Button { Ok, Cancel, Yes, No };

struct Message {
  QString text;
  QString title = kAppTitle;
  Buttons buttons = Buttons::Ok;
  Icon icon = Icon::None;
  Button defaultButton = Button::Ok;  // Yes for Yes/No boxes unless a caller says otherwise
};

// An open or save dialog: name filters as Qt writes them ("Text (*.txt)"), the suffix added
// to a name typed without one. The save dialog asks before replacing a file.
struct FileRequest {
  QStringList filters;
  QString defaultSuffix;
  QString title = {};  // the dialog's title; empty for the platform's own
};

// A file chosen to save to, and the filter chosen with it; a name typed without a suffix
// gets the chosen filter's.
struct FileChoice {
  QString path;
  QString filter;
};

// A font as the font dialog presets and returns it.
struct FontChoice {
  QString name;
  double size = 9;
  bool bold = false;
  bool italic = false;

  bool operator==(const FontChoice&) const = default;
};

// Modal message and input boxes. The window classes never open a box themselves.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows the box and returns the button pressed (closing it counts as Cancel or No).
  virtual Button message(const Message& message) = 0;
  // An input box; Cancel gives the empty text.
  virtual QString input(const QString& prompt, const QString& title, const QString& proposed) = 0;
  // An input box whose text is not shown as typed; nothing when it was cancelled.
  virtual std::optional<QString> password(const QString& prompt, const QString& title) = 0;
  // The chosen file's path; nothing when the dialog was cancelled.
  virtual std::optional<QString> openFileName(const FileRequest& request) = 0;
  virtual std::optional<QString> saveFileName(const FileRequest& request) = 0;
  virtual std::optional<FileChoice> saveFileChoice(const FileRequest& request) = 0;
  // The font dialog over existing fonts, preset; nothing when it was cancelled.
  virtual std::optional<FontChoice> chooseFont(const FontChoice& preset) = 0;
};

// The common case: text, buttons, icon and title, the first button the default.
Button showMessage(Dialogs& dialogs, const QString& text, Buttons buttons = Buttons::Ok,
                   Icon icon = Icon::None, const QString& title = kAppTitle);

}  // namespace tavelin::platform
