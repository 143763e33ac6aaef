#pragma once

class QWidget;

namespace tavelin::options {

// Puts a window in the middle of the screen: left = (screen width - window width) / 2, top
// likewise, whatever its last position.
void centreOnScreen(QWidget& window);

// Shows the window centred over its owner and returns once it has been hidden. The owner is
// disabled meanwhile, but the events of both keep running: the wait is an event loop of its own.
void showAndWait(QWidget& window, QWidget& owner);

}  // namespace tavelin::options
