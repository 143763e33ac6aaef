#pragma once

#include <functional>

class QLabel;

namespace tavelin::main_window {

// Runs action when the label is clicked with the left button.
void onLabelClick(QLabel* label, std::function<void()> action);

}  // namespace tavelin::main_window
