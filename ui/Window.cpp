#include "ui/Window.h"

#include "base/SystemLibrary.h"
#include "res/resource.h"

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

std::wstring ProgramName() { return LoadStringResource(IDS_APP_TITLE); }

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

UINT WindowDpi(HWND window) {
  // GetDpiForWindow came with Windows 10 1607: looked up, so that older systems still start the program.
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = SystemFunction<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
  if (getDpiForWindow != nullptr) {
    if (const UINT dpi = getDpiForWindow(window); dpi != 0) return dpi;
  }
  const HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

int ScaledToWindow(HWND window, int pixelsAt96) {
  return MulDiv(pixelsAt96, static_cast<int>(WindowDpi(window)), USER_DEFAULT_SCREEN_DPI);
}

POINT CentredOnWorkArea(HWND window) {
  RECT rect{}, work{};
  GetWindowRect(window, &rect);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return {work.left + (work.right - work.left - (rect.right - rect.left)) / 2,
          work.top + (work.bottom - work.top - (rect.bottom - rect.top)) / 2};
}

}  // namespace kwo::ui
