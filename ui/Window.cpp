#include "ui/Window.h"

namespace kwo::ui {

std::wstring WindowText(HWND window) {
  // WM_GETTEXT rather than GetWindowTextW: it reads edit controls of any process.
  const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const auto copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(copied < 0 ? 0 : copied));
  return text;
}

void SetWindowTextView(HWND window, std::wstring_view text) {
  const std::wstring copy(text);
  SetWindowTextW(window, copy.c_str());
}

std::wstring LoadStringResource(UINT id) {
  const wchar_t* resource = nullptr;
  // With a zero buffer size LoadStringW hands out a pointer into the resource.
  const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&resource), 0);
  if (length <= 0 || resource == nullptr) return {};
  return std::wstring(resource, static_cast<size_t>(length));
}

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

}  // namespace kwo::ui
