#include "options/frm_about.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "contracts/record_view.h"
#include "options/pseudo_modal.h"
#include "options/sys_info.h"

namespace tavelin::options {
namespace {

QRect twips(int left, int top, int width, int height) {
  const auto px = [](int t) { return qRound(t / 15.0); };
  return QRect(px(left), px(top), px(width), px(height));
}

QLabel* label(QWidget* parent, const char* name, const QRect& geometry) {
  auto* l = new QLabel(parent);
  l->setObjectName(QLatin1String(name));
  l->setGeometry(geometry);
  l->setWordWrap(true);
  return l;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption,
                    const QString& spoken, const QRect& geometry) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QLatin1String(name));
  b->setGeometry(geometry);
  b->setAccessibleName(spoken);
  return b;
}

}  // namespace

QIcon programIcon() {
  // Drawn in PNG, which Qt reads without any plugin: an SVG icon stays blank on a system
  // without the SVG plugin.
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/tavelin-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

QString versionText(int major, int minor, int revision) {
  return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

FrmAbout::FrmAbout(platform::Platform& platform, QWidget* parent)
    : QDialog(parent), platform_(platform) {
  setObjectName(QStringLiteral("frmAbout"));
  setFixedSize(twips(0, 0, 5736, 2472).size());
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);

  picIcon = label(this, "picIcon", twips(240, 240, 540, 540));
  picIcon->setPixmap(QApplication::windowIcon().pixmap(picIcon->size()));
  picIcon->setAccessibleName(QStringLiteral("Program icon"));
  lblTitle = label(this, "lblTitle", twips(958, 240, 4605, 480));
  QFont larger = lblTitle->font();
  larger.setPointSizeF(larger.pointSizeF() * 1.5);
  lblTitle->setFont(larger);
  lblVersion = label(this, "lblVersion", twips(958, 780, 3885, 225));
  lblDescription = label(this, "lblDescription", twips(958, 1125, 4125, 570));

  // Etched: a grey line over a white one.
  Line1 = new QFrame(this);
  Line1->setObjectName(QStringLiteral("Line1"));
  Line1->setFrameShape(QFrame::HLine);
  Line1->setFrameShadow(QFrame::Sunken);
  Line1->setGeometry(twips(84, 1918 - 15, 5736 - 2 * 84, 30));

  cmdOK = button(this, "cmdOK", QStringLiteral("OK"), QStringLiteral("OK"),
                 twips(4245, 2040, 1260, 345));
  cmdSysInfo = button(this, "cmdSysInfo", QStringLiteral("&System Info..."),
                      QStringLiteral("System Info..."), twips(2760, 2040, 1245, 345));
  // OK is the default button and first in the tab order; Escape (reject) also closes the box.
  cmdOK->setDefault(true);
  cmdSysInfo->setAutoDefault(false);
  setTabOrder(cmdOK, cmdSysInfo);
  connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
  connect(cmdSysInfo, &QPushButton::clicked, this, [this] { cmdSysInfo_Click(); });

  Form_Load();
}

void FrmAbout::Form_Load() {
  setWindowTitle(QStringLiteral("About Malvek Tavelin"));
  lblVersion->setText(
      versionText(TAVELIN_VERSION_MAJOR, TAVELIN_VERSION_MINOR, TAVELIN_VERSION_PATCH));
}

void FrmAbout::cmdOK_Click() {
  hide();
}

void FrmAbout::cmdSysInfo_Click() {
  StartSysInfo(platform_);
}

void mnuAbout_Click(platform::Platform& platform, QWidget& mainWindow, RecordView& view) {
  FrmAbout frmAbout(platform);
  showAndWait(frmAbout, mainWindow);
  view.focusList();
}

}  // namespace tavelin::options
