#pragma once

#include <QString>
#include <optional>

#include "platform/serial_port.h"

namespace tavelin::dialer {

// Reads the serial line text "speed,parity,data,stop", e.g. "2400,n,8,1": speed a positive
// number, parity one of n/e/o/m/s (either case), data bits 5 to 8, stop bits 1, 1.5 or 2.
// Blanks around a field are allowed. Anything else gives nothing.
std::optional<platform::LineSettings> parseLineSettings(const QString& text);

}  // namespace tavelin::dialer
