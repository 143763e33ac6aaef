#pragma once

#include <functional>

class QLabel;

namespace tavelin::main_window {

// Makes a label clickable: the handler runs when the left button is released over it.
void onLabelClick(QLabel* label, std::function<void()> handler);

}  // namespace tavelin::main_window
