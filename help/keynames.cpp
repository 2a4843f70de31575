// Writes the key-name list of the help file from the program's own key-name
// table, so that the help cannot name a key the interpreter does not know or
// leave one out.
//
//   keynames            HTML table rows, one per virtual key with all its names
//   keynames --accepts NAME...
//                       asks the interpreter about each name: "{NAME}" must
//                       press and release one virtual key, and "{NAME+}" only
//                       press it (a word that is no key name is pressed
//                       letter by letter, with or without the "+"); prints
//                       the names it refuses, exits 1 if any
#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "keys/KeyNameTable.h"
#include "keys/KeySend.h"
#include "keys/RecordingKeyPlatform.h"

namespace {

using kwo::keys::kKeyNameTable;

// What each virtual key is, for the reader. Keyed by the code, so that a new
// name for a known key needs nothing here; a new key without a description
// fails the build of the help file.
const std::map<int, const char*> kKeyDescriptions = {
    {3, "Break（Ctrl+Pause）"}, {8, "退格键 Backspace"}, {9, "制表键 Tab"}, {12, "Clear（小键盘 5，数字锁定关闭时）"},
    {13, "回车键 Enter"}, {16, "Shift"}, {17, "Ctrl"}, {18, "Alt"}, {20, "大写锁定 Caps Lock"},
    {27, "Esc"}, {32, "空格键"}, {33, "Page Up"}, {34, "Page Down"}, {35, "End"}, {36, "Home"},
    {37, "左方向键 ←"}, {38, "上方向键 ↑"}, {39, "右方向键 →"}, {40, "下方向键 ↓"},
    {42, "Print 键（少见的老式键）"}, {44, "Print Screen 截屏键"}, {45, "Insert"}, {46, "Delete"},
    {47, "Help 键"}, {91, "左 Windows 键（旗标键）"}, {92, "右 Windows 键"}, {93, "菜单键 Apps"},
    {96, "小键盘 0"}, {97, "小键盘 1"}, {98, "小键盘 2"}, {99, "小键盘 3"}, {100, "小键盘 4"},
    {101, "小键盘 5"}, {102, "小键盘 6"}, {103, "小键盘 7"}, {104, "小键盘 8"}, {105, "小键盘 9"},
    {106, "小键盘 *"}, {107, "小键盘 +"}, {108, "小键盘分隔符"}, {109, "小键盘 -"}, {110, "小键盘 ."},
    {111, "小键盘 /"}, {144, "数字锁定 Num Lock"}, {145, "滚动锁定 Scroll Lock"},
    {160, "左 Shift"}, {161, "右 Shift"}, {162, "左 Ctrl"}, {163, "右 Ctrl"}, {164, "左 Alt"}, {165, "右 Alt"},
};

std::string Describe(int code) {
  if (code >= 112 && code <= 135) return "功能键 F" + std::to_string(code - 111);
  const auto description = kKeyDescriptions.find(code);
  return description == kKeyDescriptions.end() ? std::string() : description->second;
}

std::string Ascii(std::u16string_view name) { return std::string(name.begin(), name.end()); }

// Orders names as a reader looks them up: letters first, then the number at
// the end by its value (F2 before F10).
std::pair<std::string, int> ReadingOrder(const std::string& name) {
  const size_t digits = name.find_last_not_of("0123456789") + 1;
  return {name.substr(0, digits), digits < name.size() ? std::stoi(name.substr(digits)) : -1};
}

int WriteRows() {
  // One row per virtual key, named by all its names, in reading order of the first.
  std::vector<int> codes;
  std::map<int, std::vector<std::string>> names;
  for (const auto& row : kKeyNameTable) {
    if (names[row.code].empty()) codes.push_back(row.code);
    names[row.code].push_back(Ascii(row.name));
  }
  std::stable_sort(codes.begin(), codes.end(), [&](int a, int b) {
    return ReadingOrder(names[a].front()) < ReadingOrder(names[b].front());
  });
  for (int code : codes) {
    const std::string description = Describe(code);
    if (description.empty()) {
      std::fprintf(stderr, "keynames: no description for virtual key %d\n", code);
      return 1;
    }
    std::printf("<tr><td>");
    const auto& list = names[code];
    for (size_t i = 0; i < list.size(); ++i) std::printf("%s<code class=\"key\">%s</code>", i ? "、" : "", list[i].c_str());
    std::printf("</td><td>%s</td><td>%d</td></tr>\n", description.c_str(), code);
  }
  return 0;
}

// The key events the interpreter sends for "{" + group + "}".
std::vector<kwo::keys::KeyEvent> Events(const std::string& group) {
  std::u16string text = u"{";
  text.append(group.begin(), group.end());
  text += u"}";
  kwo::keys::RecordingKeyPlatform platform;
  kwo::keys::KeySendState state;
  kwo::keys::SendKeySequence(text.c_str(), state, platform);
  return platform.events();
}

bool Accepts(const std::string& name) {
  using kwo::keys::kKeyUp;
  using kwo::keys::kUnicode;
  const auto pressed = Events(name);
  const auto held = Events(name + "+");
  return pressed.size() == 2 && held.size() == 1 && (held[0].flags & (kKeyUp | kUnicode)) == 0 &&
         pressed[0].vk == held[0].vk && pressed[1].vk == held[0].vk && (pressed[1].flags & kKeyUp) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) return WriteRows();
  if (std::string(argv[1]) != "--accepts") {
    std::fprintf(stderr, "usage: keynames [--accepts NAME...]\n");
    return 2;
  }
  int refused = 0;
  for (int i = 2; i < argc; ++i) {
    if (!Accepts(argv[i])) {
      std::printf("refused: %s\n", argv[i]);
      ++refused;
    }
  }
  return refused == 0 ? 0 : 1;
}
