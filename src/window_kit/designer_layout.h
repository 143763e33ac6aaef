#pragma once

#include <QKeyCombination>
#include <initializer_list>

class QAction;
class QMenuBar;
class QObject;
class QString;
class QWidget;

namespace tavelin::window_kit {

// The windows were designed in twips; 15 twips make a pixel.
constexpr int px(int twips) {
  return (twips + 7) / 15;
}

// Puts a control where the design has it.
void place(QWidget* w, int left, int top, int width, int height);

// One menu of a window's menu bar, item by item: name, caption ("-" for a separator) and
// shortcut key (none when empty).
struct MenuItemSpec {
  const char* name;
  const char* caption;
  QKeyCombination key;
};
struct MenuSpec {
  const char* name;
  const char* caption;
  std::initializer_list<MenuItemSpec> items;
};

constexpr QKeyCombination kNoKey{};

// Fills the menu bar; every menu and item gets its name as objectName, and the shortcuts
// work while their window is active.
void addMenus(QMenuBar* bar, std::initializer_list<MenuSpec> menus);

// The menu item of that name below root (the item, not a menu's own action); null when none.
QAction* findMenuItem(const QObject* root, const QString& name);

}  // namespace tavelin::window_kit
