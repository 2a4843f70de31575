#include "app/MainLogic.h"

namespace kwo::app {

uint32_t TimerPeriodMs(int32_t intervalMinutes) {
  if (intervalMinutes <= 0) return 0;
  const uint64_t period = static_cast<uint64_t>(intervalMinutes) * 60000u;
  return period > kLongestTimerPeriodMs ? kLongestTimerPeriodMs : static_cast<uint32_t>(period);
}

std::optional<size_t> MenuLinkIndex(uint64_t commandWParam, size_t linkCount) {
  if (commandWParam < kFirstMenuLinkId) return std::nullopt;
  const uint64_t index = commandWParam - kFirstMenuLinkId;
  if (index >= linkCount) return std::nullopt;
  return static_cast<size_t>(index);
}

std::u16string InstanceGuardName(std::u16string_view title) {
  const auto lineFeed = title.find(u'\n');
  std::u16string name(title.substr(0, lineFeed));
  name += u" Class";
  return name;
}

bool WantsLightText(uint8_t red, uint8_t green, uint8_t blue) {
  // Perceived brightness (ITU-R BT.601 weights), 0..255000.
  const unsigned brightness = 299u * red + 587u * green + 114u * blue;
  return brightness < 128000u;
}

StoreState JudgeStore(bool failed, bool locked, bool serverAway) {
  if (serverAway) return StoreState::ServerAway;
  if (!failed) return StoreState::Ok;
  return locked ? StoreState::Locked : StoreState::Failed;
}

namespace {
// Outages the user is told of once: the database's own, and the server's.
enum class Outage { None, Database, Server };

Outage OutageOf(StoreState state) {
  switch (state) {
    case StoreState::Ok:
      return Outage::None;
    case StoreState::ServerAway:
      return Outage::Server;
    default:
      return Outage::Database;
  }
}
}  // namespace

bool OutageWatch::Update(StoreState state) {
  const Outage was = OutageOf(state_);
  state_ = state;
  const Outage now = OutageOf(state);
  return now != Outage::None && now != was;
}

bool OutageWatch::UpdateServer(bool away) {
  if (away) return Update(StoreState::ServerAway);
  if (ServerAway()) Update(StoreState::Ok);
  return false;
}

std::u16string TrayTip(std::u16string_view base, bool serverAway) {
  std::u16string tip(base);
  if (serverAway) tip += u"（连不上数据库服务器）";
  return tip;
}

std::u16string SettingsNotice(std::u16string_view hotKeyValue, bool hotKeyUnread, std::u16string_view hotKeyRefusal,
                              std::u16string_view pasteAboveUnread) {
  std::u16string text;
  if (hotKeyUnread) {
    text += u"kwo.ini 中的热键“" + std::u16string(hotKeyValue) + u"”";
    text += hotKeyRefusal.empty() ? u"无法识别，" : u"不能使用：" + std::u16string(hotKeyRefusal) + u"\n";
    text += u"现在使用 Win + 空格。\n可以在“设置”中重新选择热键。";
  }
  if (!pasteAboveUnread.empty()) {
    if (!text.empty()) text += u"\n\n";
    text += u"kwo.ini 中的 PasteAbove=" + std::u16string(pasteAboveUnread) +
            u" 不是 0 到 1000000 之间的整数，现在不用粘贴（当作 0）。\n可以在“设置”中重新填写。";
  }
  return text;
}

}  // namespace kwo::app
