#pragma once
// The clipboard's Unicode text as test programs read it to check what a
// sending left there ("<cannot open>" while another program holds it).
#include <windows.h>

#include <string>

namespace kwo::test {

inline std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"<cannot open>";
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (const auto* units = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr) {
    text = units;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

}  // namespace kwo::test
