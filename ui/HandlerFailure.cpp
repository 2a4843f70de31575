#include "ui/HandlerFailure.h"

#include <string>

namespace kwo::ui {

namespace {

constexpr wchar_t kCaption[] = L"出错啦";

// What the exception says; the standard library's texts are narrow and mostly ASCII.
std::wstring Describe(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    const char* what = e.what();
    const int n = MultiByteToWideChar(CP_UTF8, 0, what, -1, nullptr, 0);
    if (n <= 1) return L"（没有说明）";
    std::wstring text(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, what, -1, text.data(), n);
    text.resize(static_cast<size_t>(n - 1));
    return text;
  } catch (...) {
    return L"未知的异常";
  }
}

thread_local bool reporting = false;

}  // namespace

void ReportHandlerFailure(HWND window, std::exception_ptr failure) noexcept {
  try {
    const std::wstring text =
        L"刚才的操作遇到意外错误，没有完成。程序会继续运行。\n\n错误说明：" + Describe(failure);
    if (reporting) {
      OutputDebugStringW(text.c_str());
      return;
    }
    reporting = true;
    HWND owner = window != nullptr ? GetAncestor(window, GA_ROOT) : nullptr;
    MessageBoxW(owner, text.c_str(), kCaption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    reporting = false;
  } catch (...) {
    // Out of memory for the text itself: nothing more can be told.
    reporting = false;
    MessageBeep(MB_ICONERROR);
  }
}

}  // namespace kwo::ui
