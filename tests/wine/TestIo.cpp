#include "tests/wine/TestIo.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string_view>

#include "text/Utf.h"
#include "ui/Handles.h"

namespace kwo::wine_test {

std::vector<std::wstring> CommandLineArgs() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::wstring> args;
  if (argv != nullptr) {
    args.assign(argv, argv + argc);
    LocalFree(argv);
  }
  return args;
}
namespace {

void WriteUtf8(DWORD which, const std::wstring& text) {
  const std::string utf8 = text::Utf16ToUtf8(text::FromWide(text));
  HANDLE out = GetStdHandle(which);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

}  // namespace

void WriteOut(const std::wstring& text) { WriteUtf8(STD_OUTPUT_HANDLE, text); }
void WriteErr(const std::wstring& text) { WriteUtf8(STD_ERROR_HANDLE, text); }

bool ReadUtf8File(const std::wstring& path, std::wstring& text) {
  const ui::OwnedFile file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) {
    WriteErr(L"cannot open " + path + L"\n");
    return false;
  }
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  std::string_view view(bytes);
  if (view.substr(0, 3) == "\xEF\xBB\xBF") view.remove_prefix(3);
  text = text::ToWide(text::Utf8ToUtf16(view));
  return true;
}

std::wstring Escaped(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    switch (c) {
      case L'\r': out += L"\\r"; break;
      case L'\n': out += L"\\n"; break;
      case L'\t': out += L"\\t"; break;
      case L'\\': out += L"\\\\"; break;
      case L'"': out += L"\\\""; break;
      default:
        if (c < 0x20) {
          wchar_t hex[8];
          std::swprintf(hex, 8, L"\\x%02X", static_cast<unsigned>(c));
          out += hex;
        } else {
          out += c;
        }
    }
  }
  return out;
}

}  // namespace kwo::wine_test
