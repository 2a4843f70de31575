// Types a key sequence into whatever window has the focus, through the real
// interpreter and the real SendInput platform.
//
//   typer.exe FILE [--at YYYY-MM-DDTHH:MM] [--clipboard TEXTFILE] [--paste-above N]
//
// FILE holds the key sequence as UTF-8. --at gives the sending its moment
// (date and time fields type nothing without one); --clipboard puts the
// file's text on the clipboard first and then checks that the sending left
// it there; --paste-above sends the sequence as an entry's content, pasting
// longer runs. The caret goes back to a {光标} mark at the end. Exit code 0
// when the sending returned true, 3 when it returned false, 4 when the
// clipboard was not the user's afterwards, 1 when a file cannot be read.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "desktop/WinClipboardPlatform.h"
#include "desktop/WinKeyPlatform.h"
#include "keys/KeySend.h"
#include "tests/support/ClipboardText.h"
#include "tests/wine/TestIo.h"
#include "text/Utf.h"

namespace {

bool SetClipboardText(const std::wstring& text) {
  if (!OpenClipboard(nullptr)) return false;
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  bool set = false;
  if (memory != nullptr) {
    std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    set = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    if (!set) GlobalFree(memory);
  }
  CloseClipboard();
  return set;
}

using kwo::test::ClipboardText;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring path, at, clipboardPath;
  long pasteAbove = -1;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--at" && i + 1 < argc) {
      at = argv[++i];
    } else if (arg == L"--clipboard" && i + 1 < argc) {
      clipboardPath = argv[++i];
    } else if (arg == L"--paste-above" && i + 1 < argc) {
      pasteAbove = std::wcstol(argv[++i], nullptr, 10);
    } else {
      path = arg;
    }
  }
  LocalFree(argv);
  if (path.empty()) {
    kwo::wine_test::WriteErr(L"usage: typer.exe FILE [--at YYYY-MM-DDTHH:MM] [--clipboard TEXTFILE] [--paste-above N]\n");
    return 2;
  }
  std::wstring sequence;
  if (!kwo::wine_test::ReadUtf8File(path, sequence)) return 1;

  const std::u16string text = kwo::text::FromWide(sequence);
  kwo::keys::KeySendState state;
  if (!at.empty()) {
    kwo::keys::LocalDateTime now;
    if (std::swscanf(at.c_str(), L"%d-%d-%dT%d:%d", &now.year, &now.month, &now.day, &now.hour, &now.minute) != 5) {
      return 2;
    }
    state.fields.now = now;
  }
  std::wstring userText;
  if (!clipboardPath.empty() && (!kwo::wine_test::ReadUtf8File(clipboardPath, userText) || !SetClipboardText(userText))) {
    return 1;
  }
  kwo::desktop::WinKeyPlatform platform;
  kwo::desktop::WinClipboardPlatform clipboard;
  state.fields.clipboard = &clipboard;
  bool sent = false;
  {
    sent = pasteAbove >= 0 ? static_cast<bool>(kwo::keys::SendContent(text.c_str(), static_cast<size_t>(pasteAbove),
                                                                       state, platform, clipboard))
                           : static_cast<bool>(kwo::keys::SendKeySequence(text.c_str(), state, platform));
    sent = sent && kwo::keys::PlaceCaret(state, platform);
  }
  if (!clipboardPath.empty()) {
    // A paste's restore may be put off to the message loop: run it a while.
    const ULONGLONG deadline = GetTickCount64() + 10000;
    for (MSG message; ClipboardText() != userText && GetTickCount64() < deadline; Sleep(20)) {
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    if (ClipboardText() != userText) return 4;
  }
  return sent ? 0 : 3;
}
