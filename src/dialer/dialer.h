#pragma once

#include <QString>
#include <chrono>
#include <functional>

namespace tavelin {
class LiveOptions;
class RecordView;
}  // namespace tavelin
namespace tavelin::platform {
class Dialogs;
}

namespace tavelin::dialer {

class CommControl;

// The reset is answered at once; the dial command only once the number has been dialed.
inline constexpr std::chrono::milliseconds kResetWait{3000};
inline constexpr std::chrono::milliseconds kDialWait = 8 * kResetWait;

// Places voice calls through a Hayes modem on MSComm1: reset, confirm, dial with a command that
// returns to command mode, let the user pick up the handset, hang the modem up.
class Dialer {
 public:
  // A call reads the speaker volume and the dial mode from the live options when it dials;
  // showOptionsDialog opens the options dialog as its menu item does, so that another port
  // can be chosen.
  Dialer(CommControl& comm, platform::Dialogs& dialogs, const LiveOptions& options,
         std::function<void()> showOptionsDialog, RecordView& view);

  // The whole call, message boxes included. A request while a call is in progress is ignored.
  void DialNumber(const QString& phone);

  // A telephone glyph beside Phone 1..4 (fields 4 to 7): dials the number shown there unless
  // it is empty or a record is being added or edited.
  void dialShownNumber(int field);
  // The "URL" caption and a double click in the list: dials Phone 1 unless a record is being
  // added or edited; the field itself is not looked at.
  void dialFirstNumberWhenBrowsing();

  bool isDialing() const { return dialing_; }
  // Tests shorten the waits.
  void setWaits(std::chrono::milliseconds reset, std::chrono::milliseconds dial);

 private:
  // Reads the port until the modem has answered "OK" CR LF or the time is up. The window keeps
  // working meanwhile: the wait runs the event loop.
  bool waitForOk(std::chrono::milliseconds limit);

  CommControl& comm_;
  platform::Dialogs& dialogs_;
  const LiveOptions& options_;
  std::function<void()> showOptionsDialog_;
  RecordView& view_;
  std::chrono::milliseconds resetWait_ = kResetWait;
  std::chrono::milliseconds dialWait_ = kDialWait;
  bool dialing_ = false;
};

}  // namespace tavelin::dialer
