#include "tests/wine/SyntheticInput.h"

#include <cwchar>
#include <cwctype>

namespace kwo::wine_test {
namespace {

struct KeyName {
  const wchar_t* name;
  WORD vk;
};

constexpr KeyName kKeyNames[] = {
    {L"RETURN", VK_RETURN}, {L"ENTER", VK_RETURN},  {L"ESC", VK_ESCAPE},     {L"ESCAPE", VK_ESCAPE},
    {L"TAB", VK_TAB},       {L"SPACE", VK_SPACE},   {L"BACK", VK_BACK},      {L"BACKSPACE", VK_BACK},
    {L"DELETE", VK_DELETE}, {L"DEL", VK_DELETE},    {L"INSERT", VK_INSERT},  {L"HOME", VK_HOME},
    {L"END", VK_END},       {L"PGUP", VK_PRIOR},    {L"PGDN", VK_NEXT},      {L"UP", VK_UP},
    {L"DOWN", VK_DOWN},     {L"LEFT", VK_LEFT},     {L"RIGHT", VK_RIGHT},    {L"CTRL", VK_CONTROL},
    {L"SHIFT", VK_SHIFT},   {L"ALT", VK_MENU},      {L"LWIN", VK_LWIN},      {L"APPS", VK_APPS},
    {L"F1", VK_F1},         {L"F2", VK_F2},         {L"F3", VK_F3},          {L"F4", VK_F4},
    {L"F5", VK_F5},         {L"F6", VK_F6},         {L"F7", VK_F7},          {L"F8", VK_F8},
    {L"F9", VK_F9},         {L"F10", VK_F10},       {L"F11", VK_F11},        {L"F12", VK_F12},
};

bool IsExtended(WORD vk) {
  switch (vk) {
    case VK_DELETE: case VK_INSERT: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_UP: case VK_DOWN: case VK_LEFT: case VK_RIGHT: case VK_LWIN: case VK_RWIN: case VK_APPS:
      return true;
    default:
      return false;
  }
}

INPUT KeyInput(WORD vk, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = (IsExtended(vk) ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
  return input;
}

bool ParseKey(std::wstring name, WORD& vk) {
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
  if (name.size() > 2 && name[0] == L'0' && name[1] == L'X') {
    wchar_t* end = nullptr;
    unsigned long value = std::wcstoul(name.c_str(), &end, 16);
    if (*end != L'\0' || value == 0 || value > 0xFE) return false;
    vk = static_cast<WORD>(value);
    return true;
  }
  if (name.size() == 1 && ((name[0] >= L'A' && name[0] <= L'Z') || (name[0] >= L'0' && name[0] <= L'9'))) {
    vk = name[0];
    return true;
  }
  for (const KeyName& key : kKeyNames) {
    if (name == key.name) {
      vk = key.vk;
      return true;
    }
  }
  return false;
}

}  // namespace

void SendChord(const std::vector<WORD>& modifiers, WORD key) {
  std::vector<INPUT> inputs;
  for (WORD vk : modifiers) inputs.push_back(KeyInput(vk, false));
  inputs.push_back(KeyInput(key, false));
  inputs.push_back(KeyInput(key, true));
  for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) inputs.push_back(KeyInput(*it, true));
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void SendKeyEvent(WORD vk, bool up) {
  INPUT input = KeyInput(vk, up);
  SendInput(1, &input, sizeof(INPUT));
}

bool ParseChord(const std::wstring& chord, std::vector<WORD>& keys) {
  keys.clear();
  size_t start = 0;
  for (;;) {
    size_t plus = chord.find(L'+', start);
    WORD vk = 0;
    if (!ParseKey(chord.substr(start, plus == std::wstring::npos ? std::wstring::npos : plus - start), vk)) return false;
    keys.push_back(vk);
    if (plus == std::wstring::npos) return true;
    start = plus + 1;
  }
}

void TypeUnicode(const std::wstring& text) {
  for (wchar_t unit : text) {
    INPUT pair[2] = {};
    for (int i = 0; i < 2; ++i) {
      pair[i].type = INPUT_KEYBOARD;
      pair[i].ki.wScan = static_cast<WORD>(unit);
      pair[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
    }
    SendInput(2, pair, sizeof(INPUT));
  }
}

void ClickAt(POINT point, bool twice) {
  // Every event carries the point: a button event alone would be taken where
  // the pointer is when it is handled, which a cursor move may not have reached yet.
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  const LONG x = static_cast<LONG>((point.x * 65535LL + width / 2) / (width - 1));
  const LONG y = static_cast<LONG>((point.y * 65535LL + height / 2) / (height - 1));
  std::vector<INPUT> inputs;
  for (int n = twice ? 2 : 1; n > 0; --n) {
    for (DWORD flag : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
      INPUT input{};
      input.type = INPUT_MOUSE;
      input.mi.dx = x;
      input.mi.dy = y;
      input.mi.dwFlags = flag | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
      inputs.push_back(input);
    }
  }
  SetCursorPos(point.x, point.y);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

}  // namespace kwo::wine_test
