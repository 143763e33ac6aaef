#pragma once

namespace tavelin::platform {
class SettingsStore;
}

namespace tavelin::dialer {

class CommControl;

// Start-up: applies "Settings", "CommPort" and "Handshaking" of group "Properties" to the
// control, each only when set. CommPort and Handshaking are read as Basic's CInt and CLng
// read text (blanks around, a fraction rounded half to even); a value that is not a number
// or does not fit is skipped, and the control's own errors are ignored.
void applyStoredPortSettings(CommControl& comm, const platform::SettingsStore& store);

}  // namespace tavelin::dialer
