#include "window_kit/designer_layout.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace tavelin::window_kit {

void place(QWidget* w, int left, int top, int width, int height) {
  w->setGeometry(px(left), px(top), px(width), px(height));
}

void addMenus(QMenuBar* bar, std::initializer_list<MenuSpec> menus) {
  for (const MenuSpec& m : menus) {
    QMenu* menu = bar->addMenu(QString::fromLatin1(m.caption));
    menu->setObjectName(QLatin1String(m.name));
    menu->menuAction()->setObjectName(QLatin1String(m.name));
    for (const MenuItemSpec& item : m.items) {
      QAction* action = qstrcmp(item.caption, "-") == 0
                            ? menu->addSeparator()
                            : menu->addAction(QString::fromLatin1(item.caption));
      action->setObjectName(QLatin1String(item.name));
      if (item.key != kNoKey) {
        action->setShortcut(QKeySequence(item.key));
        action->setShortcutContext(Qt::WindowShortcut);
      }
    }
  }
}

QAction* findMenuItem(const QObject* root, const QString& name) {
  const QList<QAction*> all = root->findChildren<QAction*>(name);
  for (QAction* a : all) {
    if (!a->menu()) return a;
  }
  return all.isEmpty() ? nullptr : all.front();
}

}  // namespace tavelin::window_kit
