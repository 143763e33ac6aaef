// The window's controls, at the places the window was designed with (twips / 15 = pixels).
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <vector>

#include "main_window/mainform.h"
#include "main_window/name_list.h"
#include "record_store/record_lines.h"
#include "window_kit/designer_layout.h"

namespace tavelin::main_window {
namespace {

using window_kit::place;
using window_kit::px;

// Frames draw their captions in bold; what they hold does not.
void regularWeight(QWidget* w) {
  QFont f = w->font();
  f.setBold(false);
  w->setFont(f);
}

QLabel* caption(QWidget* parent, const char* name, const QString& text, int left, int top,
                int width, int height) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  place(label, left, top, width, height);
  regularWeight(label);
  return label;
}

// The clickable symbol labels; the symbols come from DejaVu Sans.
QLabel* glyph(QWidget* parent, const char* name, char16_t symbol, int pointSize,
              const QString& accessibleName, int left, int top, int width, int height) {
  auto* label = new QLabel(QString(QChar(symbol)), parent);
  label->setObjectName(QLatin1String(name));
  QFont f(QStringLiteral("DejaVu Sans"), pointSize);
  label->setFont(f);
  label->setAccessibleName(accessibleName);
  label->setAlignment(Qt::AlignCenter);
  place(label, left, top, width, height);
  return label;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, int left) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QLatin1String(name));
  b->setFocusPolicy(Qt::ClickFocus);  // no tab stop until a mode wants one
  place(b, left, 240, 855, 375);
  regularWeight(b);
  return b;
}

// The captions were measured for a narrower font than the desktop's: each caption gets the
// width its text needs, the glyphs move right of the widest one and the fields right of the
// glyphs, keeping their right edges. With a narrow font nothing moves.
void fitCaptions(const std::vector<QLabel*>& captions, const std::vector<QLabel*>& glyphs,
                 const std::array<QLineEdit*, kFieldCount>& fields) {
  const auto textRight = [](const QLabel* caption) {
    return caption->x() + caption->sizeHint().width();
  };
  int glyphLeft = 0;
  for (QLabel* glyph : glyphs) glyphLeft = qMax(glyphLeft, glyph->x());
  int fieldLeft = fields[0]->x();
  for (QLabel* caption : captions) {
    caption->resize(qMax(caption->width(), caption->sizeHint().width()), caption->height());
    fieldLeft = qMax(fieldLeft, textRight(caption) + 2);
    if (caption->objectName() != QLatin1String("Label2"))  // "Address" has no glyph beside it
      glyphLeft = qMax(glyphLeft, textRight(caption) + 3);
  }
  for (QLabel* glyph : glyphs) {
    glyph->move(glyphLeft, glyph->y());
    glyph->raise();  // over a caption's empty end
    fieldLeft = qMax(fieldLeft, glyph->geometry().right() + 2);
  }
  for (QLineEdit* field : fields) {
    const int right = field->geometry().right();
    field->setGeometry(fieldLeft, field->y(), right - fieldLeft + 1, field->height());
  }
}

constexpr char16_t kTelephone = 0x260E;
constexpr char16_t kEnvelope = 0x2709;
constexpr char16_t kSmile = 0x263A;
constexpr char16_t kNote = 0x270E;

}  // namespace

void Mainform::buildControls() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("Mainform"));
  client->setFixedSize(px(8064), px(5172));
  setCentralWidget(client);

  QFont frameFont = font();
  frameFont.setBold(true);
  auto frame = [&](const char* name, const QString& title, int l, int t, int w, int h) {
    auto* box = new QGroupBox(title, client);
    box->setObjectName(QLatin1String(name));
    box->setFont(frameFont);
    place(box, l, t, w, h);
    return box;
  };
  Frame1 = frame("Frame1", QStringLiteral("Record Fields"), 120, 0, 3855, 4335);
  Frame2 = frame("Frame2", QString(), 4080, 0, 3855, 4335);
  Frame3 = frame("Frame3", QString(), 120, 4320, 7815, 735);

  listModel_ = new NameListModel(store_.table(), this);
  List1 = new NameList(Frame2);
  List1->setObjectName(QStringLiteral("List1"));
  List1->setModel(listModel_);
  List1->setAccessibleName(QStringLiteral("Names"));
  regularWeight(List1);
  place(List1, 120, 240, 3615, 3888);

  static const int kTops[kFieldCount] = {240,  540,  817,  1087, 1387, 1657, 1927,
                                         2197, 2497, 2797, 3097, 3367, 3637, 3907};
  static const char* const kNames[kFieldCount] = {
      "Full Name", "Address 1", "Address 2", "Address 3", "Phone 1", "Phone 2", "Phone 3",
      "Phone 4",   "E-Mail",    "Notes 1",   "Notes 2",   "Notes 3", "Notes 4", "Notes 5"};
  for (int k = 0; k < kFieldCount; ++k) {
    auto* box = new QLineEdit(Frame1);
    box->setObjectName(QStringLiteral("Text%1").arg(k + 1));
    box->setMaxLength(kFieldWidth);
    box->setAccessibleName(QLatin1String(kNames[k]));
    regularWeight(box);
    place(box, 840, kTops[k], 2925, 290);
    Text[k] = box;
  }
  Text15 = new QLineEdit(QStringLiteral("Text15"), client);
  Text15->setObjectName(QStringLiteral("Text15"));
  place(Text15, 240, 3360, 375, 285);
  Text15->hide();

  Label1 = caption(Frame1, "Label1", QStringLiteral("Name"), 120, 260, 735, 255);
  Label2 = caption(Frame1, "Label2", QStringLiteral("Address"), 120, 560, 735, 255);
  Label4 = caption(Frame1, "Label4", QStringLiteral("Phone"), 120, 1407, 495, 255);
  Label9 = caption(Frame1, "Label9", QStringLiteral("E-mail"), 120, 2517, 735, 255);
  Label7 = caption(Frame1, "Label7", QStringLiteral("URL"), 120, 2817, 375, 255);
  Label14 = caption(Frame1, "Label14", QStringLiteral("Notes"), 120, 3117, 735, 255);

  Label5 = glyph(Frame1, "Label5", kEnvelope, 9, QStringLiteral("Send e-mail to name"), 615, 270,
                 210, 210);
  Label3 =
      glyph(Frame1, "Label3", kTelephone, 9, QStringLiteral("Dial phone 1"), 615, 1417, 210, 210);
  Label10 =
      glyph(Frame1, "Label10", kTelephone, 9, QStringLiteral("Dial phone 2"), 620, 1687, 210, 210);
  Label11 =
      glyph(Frame1, "Label11", kTelephone, 9, QStringLiteral("Dial phone 3"), 620, 1920, 210, 210);
  Label12 =
      glyph(Frame1, "Label12", kTelephone, 9, QStringLiteral("Dial phone 4"), 620, 2227, 210, 210);
  for (QLabel* dial : {Label3, Label10, Label11, Label12}) {
    dial->setToolTip(QStringLiteral("Click to dial"));
  }
  Label6 =
      glyph(Frame1, "Label6", kEnvelope, 9, QStringLiteral("Send e-mail"), 620, 2527, 210, 210);
  Label8 =
      glyph(Frame1, "Label8", kSmile, 12, QStringLiteral("Open web address"), 620, 2807, 210, 255);
  Label13 =
      glyph(Frame1, "Label13", kNote, 12, QStringLiteral("Open attachment"), 624, 3120, 168, 264);

  fitCaptions({Label1, Label2, Label4, Label9, Label7, Label14},
              {Label5, Label3, Label10, Label11, Label12, Label6, Label8, Label13}, Text);

  Command2 = button(Frame3, "Command2", QStringLiteral("Edit"), 120);
  Command3 = button(Frame3, "Command3", QStringLiteral("Delete"), 960);
  Command4 = button(Frame3, "Command4", QStringLiteral("Add"), 1800);
  Command6 = button(Frame3, "Command6", QStringLiteral("Backup"), 2640);
  Command7 = button(Frame3, "Command7", QStringLiteral("Restore"), 3480);
  Command9 = button(Frame3, "Command9", QStringLiteral("Info"), 4320);
  Command8 = button(Frame3, "Command8", QStringLiteral("Search"), 5160);
  Command1 = button(Frame3, "Command1", QStringLiteral("Next"), 6000);
  Command5 = button(Frame3, "Command5", QStringLiteral("Quit"), 6840);

  // Tab order: the list, then the fields in field order, then the buttons.
  QWidget* previous = List1;
  for (QLineEdit* box : Text) {
    setTabOrder(previous, box);
    previous = box;
  }
  for (QPushButton* b :
       {Command2, Command3, Command4, Command6, Command7, Command9, Command8, Command1, Command5}) {
    setTabOrder(previous, b);
    previous = b;
  }

  // A fixed single border that can be minimized but not resized or maximized.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tavelin::main_window
