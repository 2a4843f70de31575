#pragma once
// The ClipboardPlatform of the real desktop. The text goes on the clipboard
// by delayed rendering: a hidden window of this thread owns the clipboard
// and hands the text out when a program asks for it, which tells when the
// window in front has taken the paste. Only then is the user's clipboard put
// back.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/UniqueResource.h"
#include "keys/ClipboardPlatform.h"

namespace kwo::desktop {

// One format of clipboard data: a global memory block, or for the GDI
// formats a bitmap, palette or (enhanced) metafile.
struct ClipboardData {
  UINT format = 0;
  HANDLE data = nullptr;
  friend bool operator==(const ClipboardData& a, const ClipboardData& b) {
    return a.format == b.format && a.data == b.data;
  }
  friend bool operator!=(const ClipboardData& a, const ClipboardData& b) { return !(a == b); }
};
struct ClipboardDataTraits {
  using Handle = ClipboardData;
  static void Release(ClipboardData data);  // as the format needs
};
using OwnedClipboardData = UniqueResource<ClipboardDataTraits>;

class WinClipboardPlatform final : public keys::ClipboardPlatform {
 public:
  WinClipboardPlatform() = default;
  ~WinClipboardPlatform() override;
  WinClipboardPlatform(const WinClipboardPlatform&) = delete;
  WinClipboardPlatform& operator=(const WinClipboardPlatform&) = delete;

  bool PutText(std::u16string_view text) override;
  void WaitUntilTaken() override;
  void Restore() override;

 private:
  static LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool EnsureWindow();
  // WM_RENDERFORMAT: the text to the program that asks for it (the clipboard is open).
  void Render();
  // Puts the saved clipboard back, trying to open it this many times; false
  // while another program holds it open.
  bool PutBack(int tries);
  // The timer's try at a restore put off.
  void RetryRestore();

  HWND window_ = nullptr;
  std::u16string text_;       // on the clipboard, not yet handed out
  HWND targetWindow_ = nullptr;  // the window in front at PutText
  DWORD targetProcess_ = 0;   // its process
  bool pending_ = false;      // PutText succeeded, Restore not yet done
  bool taken_ = false;        // the target process asked for the text
  bool handedOut_ = false;    // any program asked for it
  bool restoreDue_ = false;   // Restore put off (text not asked for, or clipboard held): the timer's task
  ULONGLONG restoreDeadline_ = 0;
  // The user's clipboard, format by format in its order; copies that outlive
  // the clipboard's own data.
  std::vector<OwnedClipboardData> saved_;
};

}  // namespace kwo::desktop
