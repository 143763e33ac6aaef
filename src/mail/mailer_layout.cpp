// The editor's controls at the places it was designed with (twips / 15 = pixels), and its menu.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "mail/mailer.h"
#include "mail/mailer_status.h"
#include "mail/message_edit.h"
#include "window_kit/designer_layout.h"

namespace tavelin::mail {
namespace {

using window_kit::place;
using window_kit::px;

QLineEdit* field(QWidget* parent, const char* name, const char* accessibleName, int maxLength,
                 int left) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QLatin1String(name));
  box->setAccessibleName(QLatin1String(accessibleName));
  box->setMaxLength(maxLength);
  place(box, left, 280, 2895, 285);
  return box;
}

using window_kit::kNoKey;
constexpr auto kCtrl = Qt::ControlModifier;

}  // namespace

void Mailer::buildControls() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("Mailer"));
  setCentralWidget(client);

  Frame1 = new QGroupBox(client);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  place(Frame1, 120, 0, 7815, 4335);

  // The picture: a click on it quits, like the Quit button.
  Picture1 = new QLabel(QString(QChar(0x2709)), Frame1);
  Picture1->setObjectName(QStringLiteral("Picture1"));
  Picture1->setFont(QFont(QStringLiteral("DejaVu Sans"), 16));
  Picture1->setAlignment(Qt::AlignCenter);
  Picture1->setAccessibleName(QStringLiteral("Quit"));
  Picture1->setCursor(Qt::PointingHandCursor);
  place(Picture1, 120, 210, 495, 495);

  Label1 = new QLabel(QStringLiteral("To:"), Frame1);
  Label1->setObjectName(QStringLiteral("Label1"));
  place(Label1, 720, 280, 375, 255);
  Dest = field(Frame1, "Dest", "To", 40, 1080);

  Label2 = new QLabel(QStringLiteral("Subject:"), Frame1);
  Label2->setObjectName(QStringLiteral("Label2"));
  place(Label2, 4080, 280, 615, 255);
  Re = field(Frame1, "Re", "Subject", 100, 4800);
  // A desktop font wider than the designed one would cut the caption: let it grow leftwards.
  const int captionWidth = Label2->sizeHint().width();
  if (captionWidth > Label2->width()) {
    Label2->setGeometry(Re->x() - captionWidth - 2, Label2->y(), captionWidth, Label2->height());
  }

  EditBox = new MessageEdit(kMaxMessageLength, Frame1);
  EditBox->setObjectName(QStringLiteral("EditBox"));
  EditBox->setAccessibleName(QStringLiteral("Message"));
  QFont courier(QStringLiteral("Courier New"), 9);
  courier.setStyleHint(QFont::Monospace);
  EditBox->setFont(courier);
  place(EditBox, 120, 720, 7575, 3495);

  Frame2 = new QGroupBox(client);
  Frame2->setObjectName(QStringLiteral("Frame2"));
  place(Frame2, 120, 4320, 7815, 735);

  const auto button = [this](const char* name, const char* caption, int left) {
    auto* b = new QPushButton(QLatin1String(caption), Frame2);
    b->setObjectName(QLatin1String(name));
    place(b, left, 240, 855, 375);
    return b;
  };
  Command4 = button("Command4", "Open", 120);
  Command3 = button("Command3", "Save as", 960);
  Command6 = button("Command6", "Greeting", 1800);
  Command8 = button("Command8", "Font", 2640);
  Command7 = button("Command7", "Now", 3480);
  Command5 = button("Command5", "SignOff", 4320);
  Command9 = button("Command9", "Join", 5160);
  Command2 = button("Command2", "Clean", 6000);
  Command1 = button("Command1", "Quit", 6840);

  QWidget* previous = Dest;
  for (QWidget* w :
       std::initializer_list<QWidget*>{Re, EditBox, Command4, Command3, Command6, Command8,
                                       Command7, Command5, Command9, Command2, Command1}) {
    setTabOrder(previous, w);
    previous = w;
  }
}

void Mailer::buildMenus() {
  const std::initializer_list<window_kit::MenuSpec> menus = {
      {"mnuFile",
       "&File",
       {{"mnuOpenFile", "&Open", kCtrl | Qt::Key_O},
        {"mnuSaveAs", "&Save as..", kCtrl | Qt::Key_A},
        {"mnuStreepje", "-", kNoKey},
        {"mnuQuit", "&Quit Quilla", kCtrl | Qt::Key_Q}}},
      {"mnuEdit",
       "&Edit",
       {{"mnuJoin", "&Join Lines", kCtrl | Qt::Key_J},
        {"mnuClean", "&Clean Block", kCtrl | Qt::Key_C},
        {"mnuEdStreep", "-", kNoKey},
        {"mnuPers", "Configure &Sign Off", kCtrl | Qt::Key_S},
        {"mnuFont", "Select Editor &Font", kCtrl | Qt::Key_F},
        {"mnuLijnTwee", "-", kNoKey},
        {"mnuPrint", "&Print Selected Text", kCtrl | Qt::Key_P}}},
      {"mnuIns",
       "&Insert",
       {{"mnuGreet", "Apply &Greeting", Qt::Key_F4}, {"mnuNow", "&Date and Time", Qt::Key_F5}}},
  };
  window_kit::addMenus(menuBar(), menus);
  mnuPrint_ = menuItem(QStringLiteral("mnuPrint"));
  mnuJoin_ = menuItem(QStringLiteral("mnuJoin"));
  mnuClean_ = menuItem(QStringLiteral("mnuClean"));
  mnuSaveAs_ = menuItem(QStringLiteral("mnuSaveAs"));
}

QAction* Mailer::menuItem(const QString& name) const {
  return window_kit::findMenuItem(this, name);
}

}  // namespace tavelin::mail
