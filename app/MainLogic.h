#pragma once
// Rules of the main window that need no window, kept apart so that they can
// be checked on any machine.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kwo::app {

// The longest period SetTimer takes (USER_TIMER_MAXIMUM); longer ones it cuts.
constexpr uint32_t kLongestTimerPeriodMs = 0x7FFFFFFF;

// Period of the timed-sending timer for an interval in minutes. Computed
// without overflow: a huge interval gives the longest period a timer can
// have, never a short one. Zero or negative intervals give 0 (the timer then
// types nothing).
uint32_t TimerPeriodMs(int32_t intervalMinutes);

// The first command id of the Help-menu links; link i has id kFirstMenuLinkId + i.
constexpr uint32_t kFirstMenuLinkId = 33772;

// The link a command stands for, judged on the whole wParam of WM_COMMAND.
std::optional<size_t> MenuLinkIndex(uint64_t commandWParam, size_t linkCount);

// Name of the single-instance mutex: the title up to its first line feed,
// followed by " Class".
std::u16string InstanceGuardName(std::u16string_view title);

// Whether text on a background of this colour reads better in white than in black.
bool WantsLightText(uint8_t red, uint8_t green, uint8_t blue);

// The store as an operation left it.
enum class StoreState {
  Ok,
  Locked,      // another program holds the database locked
  ServerAway,  // the database server cannot be reached
  Failed,      // any other failure
};

// The state after an operation: the server's state first (while it is away
// every statement fails), then whether the operation failed and how.
StoreState JudgeStore(bool failed, bool locked, bool serverAway);

// The store's outages as the main window sees them, judged after every
// search: the user is told once per outage, not at every keystroke. A lock
// and another failure are one outage of the database; the server going away
// (or coming back to a failing database) is a new one, told in its own words.
class OutageWatch {
 public:
  // True when the user should be told of `state` now.
  bool Update(StoreState state);
  // After an operation that reports its own failures (export): only the
  // server's state is taken from it.
  bool UpdateServer(bool away);
  StoreState State() const { return state_; }
  bool ServerAway() const { return state_ == StoreState::ServerAway; }

 private:
  StoreState state_ = StoreState::Ok;
};

// The notification icon's tip: the title (or the stopped text) and, while the
// database server cannot be reached, that state.
std::u16string TrayTip(std::u16string_view base, bool serverAway);

// The one notice at start about settings of kwo.ini that are not used as
// written: a HotKey that cannot be read (`hotKeyUnread`) or is refused (the
// reason in `hotKeyRefusal`), a PasteAbove that is no whole number. Empty
// when every setting is used.
std::u16string SettingsNotice(std::u16string_view hotKeyValue, bool hotKeyUnread, std::u16string_view hotKeyRefusal,
                              std::u16string_view pasteAboveUnread);

}  // namespace kwo::app
