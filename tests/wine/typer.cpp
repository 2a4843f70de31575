// Types a key sequence into whatever window has the focus, through the real
// interpreter and the real SendInput platform.
//
//   typer.exe FILE
//
// FILE holds the key sequence as UTF-8. Exit code 0 when SendKeySequence
// returned true, 3 when it returned false, 1 when the file cannot be read.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "keys/KeySend.h"
#include "desktop/WinKeyPlatform.h"
#include "tests/wine/TestIo.h"
#include "text/Utf.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring path = argc > 1 ? argv[1] : L"";
  LocalFree(argv);
  if (path.empty()) {
    kwo::wine_test::WriteErr(L"usage: typer.exe FILE\n");
    return 2;
  }
  std::wstring sequence;
  if (!kwo::wine_test::ReadUtf8File(path, sequence)) return 1;

  const std::u16string text = kwo::text::FromWide(sequence);
  kwo::keys::KeySendState state;
  kwo::desktop::WinKeyPlatform platform;
  return kwo::keys::SendKeySequence(text.c_str(), state, platform) ? 0 : 3;
}
