#include "tests/wine/WindowLookup.h"

#include <cwchar>

namespace kwo::wine_test {
namespace {

constexpr wchar_t kClassPrefix[] = L"class:";
constexpr wchar_t kHandlePrefix[] = L"hwnd:";

bool StartsWith(const std::wstring& text, const wchar_t* prefix) { return text.rfind(prefix, 0) == 0; }

struct ControlSearch {
  int id;
  HWND found;
};

BOOL CALLBACK MatchControlId(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<ControlSearch*>(param);
  if (GetDlgCtrlID(hwnd) != search->id) return TRUE;
  search->found = hwnd;
  return FALSE;
}

}  // namespace

HWND FindTopWindow(const std::wstring& selector) {
  if (selector == L"foreground") return GetForegroundWindow();
  if (StartsWith(selector, kHandlePrefix)) {
    auto value = std::wcstoull(selector.c_str() + std::wcslen(kHandlePrefix), nullptr, 0);
    HWND hwnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
    return IsWindow(hwnd) ? hwnd : nullptr;
  }
  if (StartsWith(selector, kClassPrefix)) {
    std::wstring rest = selector.substr(std::wcslen(kClassPrefix));
    size_t bar = rest.find(L'|');
    if (bar == std::wstring::npos) return FindWindowW(rest.c_str(), nullptr);
    return FindWindowW(rest.substr(0, bar).c_str(), rest.substr(bar + 1).c_str());
  }
  return FindWindowW(nullptr, selector.c_str());
}

HWND FindControl(HWND top, const std::wstring& selector) {
  if (selector == L"self") return top;
  if (selector == L"focus") {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info)) return nullptr;
    return info.hwndFocus;
  }
  if (selector.empty() || selector == L"-") {
    if (ClassOf(top) == L"Edit") return top;
    HWND edit = FindWindowExW(top, nullptr, L"Edit", nullptr);
    return edit ? edit : top;
  }
  ControlSearch search{static_cast<int>(std::wcstol(selector.c_str(), nullptr, 10)), nullptr};
  EnumChildWindows(top, MatchControlId, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

std::wstring TitleOf(HWND hwnd) {
  wchar_t title[512] = {};
  GetWindowTextW(hwnd, title, 512);
  return title;
}

std::wstring HandleText(HWND hwnd) {
  wchar_t text[32];
  std::swprintf(text, 32, L"hwnd:0x%llX", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
  return text;
}

}  // namespace kwo::wine_test
