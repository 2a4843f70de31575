#include "ui/Shell.h"

#include <shellapi.h>

namespace kwo::ui {

DWORD ShellOpen(HWND owner, const std::wstring& target, int showCommand) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI;  // as ShellExecuteW: the failure is ours to tell
  info.hwnd = owner;
  info.lpVerb = L"open";
  info.lpFile = target.c_str();
  info.nShow = showCommand;
  if (ShellExecuteExW(&info)) return 0;
  DWORD error = GetLastError();
  if (error == ERROR_SUCCESS) error = ShellResultError(reinterpret_cast<INT_PTR>(info.hInstApp));
  return error;
}

DWORD ShellResultError(INT_PTR result) {
  switch (result) {
    case 0: return ERROR_OUTOFMEMORY;
    case SE_ERR_SHARE: return ERROR_SHARING_VIOLATION;
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC: return ERROR_NO_ASSOCIATION;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY: return ERROR_DDE_FAIL;
    case SE_ERR_DLLNOTFOUND: return ERROR_DLL_NOT_FOUND;
    default:
      // The other results (file or path not found, access denied, out of
      // memory, bad format) are Windows error codes already.
      return result > 0 && result <= 32 ? static_cast<DWORD>(result) : ERROR_GEN_FAILURE;
  }
}

std::wstring SystemErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
      0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (n > 0 && buffer != nullptr) text.assign(buffer, n);
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  if (text.empty()) text = L"错误代码 " + std::to_wstring(error);
  return text;
}

}  // namespace kwo::ui
