#pragma once

#include <functional>

class QLabel;

namespace tavelin::main_window {

// Labels have no click of their own: the handler runs when the left button is pressed and
// released on the label.
void onLabelClick(QLabel* label, std::function<void()> handler);

}  // namespace tavelin::main_window
