#include "desktop/WinClipboardPlatform.h"

#include <cstring>
#include <utility>

#include "base/KernelHandle.h"

namespace kwo::desktop {
namespace {

constexpr wchar_t kOwnerClass[] = L"KwoClipboardOwner";
// Another program may hold the clipboard open for a moment (a clipboard
// viewer reading it): a few short tries before the run is typed instead.
constexpr int kPutTries = 5;
// Putting the user's clipboard back is worth a longer wait: the target may
// still be reading the pasted text.
constexpr int kRestoreTries = 100;
constexpr DWORD kTryPauseMs = 10;
// Held longer than that, the clipboard is tried again now and then, for a
// while, so that the user's clipboard comes back once the holder lets go.
constexpr UINT_PTR kRestoreTimer = 1;
constexpr UINT kRestoreTimerMs = 100;
constexpr ULONGLONG kRestoreRetryMs = 30000;
// Longest wait for the target to ask for the pasted text.
constexpr ULONGLONG kTakeTimeoutMs = 3000;

// The clipboard, open for this object's life.
class OpenedClipboard {
 public:
  OpenedClipboard(HWND owner, int tries) {
    for (int i = 0; i < tries && !open_; ++i) {
      if (i > 0) Sleep(kTryPauseMs);
      open_ = OpenClipboard(owner) != FALSE;
    }
  }
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  explicit operator bool() const { return open_; }

 private:
  bool open_ = false;
};

OwnedGlobal CopyGlobal(HGLOBAL source) {
  const SIZE_T size = GlobalSize(source);
  if (size == 0) return OwnedGlobal();
  OwnedGlobal copy(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!copy) return copy;
  const void* from = GlobalLock(source);
  void* to = GlobalLock(copy.get());
  const bool copied = from != nullptr && to != nullptr;
  if (copied) std::memcpy(to, from, size);
  if (to != nullptr) GlobalUnlock(copy.get());
  if (from != nullptr) GlobalUnlock(source);
  return copied ? std::move(copy) : OwnedGlobal();
}

// A metafile picture: the block holds a metafile handle, copied as well.
OwnedGlobal CopyMetafilePicture(HGLOBAL source) {
  OwnedGlobal copy = CopyGlobal(source);
  if (!copy || GlobalSize(copy.get()) < sizeof(METAFILEPICT)) return OwnedGlobal();
  auto* picture = static_cast<METAFILEPICT*>(GlobalLock(copy.get()));
  if (picture == nullptr) return OwnedGlobal();
  picture->hMF = CopyMetaFileW(picture->hMF, nullptr);
  const bool copied = picture->hMF != nullptr;
  GlobalUnlock(copy.get());
  return copied ? std::move(copy) : OwnedGlobal();
}

HPALETTE CopyPalette(HPALETTE source) {
  WORD count = 0;
  if (GetObjectW(source, sizeof count, &count) == 0 || count == 0) return nullptr;
  std::vector<char> buffer(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
  auto* palette = reinterpret_cast<LOGPALETTE*>(buffer.data());
  palette->palVersion = 0x300;
  palette->palNumEntries = count;
  if (GetPaletteEntries(source, 0, count, palette->palPalEntry) != count) return nullptr;
  return CreatePalette(palette);
}

// Formats the system makes from another one; restoring the first of each
// family lets it make the others again.
int SynthesisFamily(UINT format) {
  switch (format) {
    case CF_TEXT:
    case CF_OEMTEXT:
    case CF_UNICODETEXT:
      return 1;
    case CF_BITMAP:
    case CF_DIB:
    case CF_DIBV5:
      return 2;
    case CF_ENHMETAFILE:
    case CF_METAFILEPICT:
      return 3;
    default:
      return 0;
  }
}

// A copy of the clipboard's data in this format, or none for data that
// cannot outlive its owner (owner display, private and GDI-object formats).
OwnedClipboardData CopyFormat(UINT format) {
  if (format == CF_OWNERDISPLAY || format == CF_DSPBITMAP || format == CF_DSPMETAFILEPICT ||
      format == CF_DSPENHMETAFILE || (format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST) ||
      (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST)) {
    return OwnedClipboardData();
  }
  const HANDLE data = GetClipboardData(format);
  if (data == nullptr) return OwnedClipboardData();
  HANDLE copy = nullptr;
  switch (format) {
    case CF_BITMAP:
      copy = CopyImage(data, IMAGE_BITMAP, 0, 0, 0);
      break;
    case CF_PALETTE:
      copy = CopyPalette(static_cast<HPALETTE>(data));
      break;
    case CF_ENHMETAFILE:
      copy = CopyEnhMetaFileW(static_cast<HENHMETAFILE>(data), nullptr);
      break;
    case CF_METAFILEPICT:
      copy = CopyMetafilePicture(data).release();
      break;
    default:
      copy = CopyGlobal(data).release();
      break;
  }
  return OwnedClipboardData(copy != nullptr ? ClipboardData{format, copy} : ClipboardData{});
}

}  // namespace

void ClipboardDataTraits::Release(ClipboardData data) {
  switch (data.format) {
    case CF_BITMAP:
    case CF_PALETTE:
      DeleteObject(data.data);
      break;
    case CF_ENHMETAFILE:
      DeleteEnhMetaFile(static_cast<HENHMETAFILE>(data.data));
      break;
    case CF_METAFILEPICT:
      if (const auto* picture = static_cast<METAFILEPICT*>(GlobalLock(data.data))) {
        DeleteMetaFile(picture->hMF);
        GlobalUnlock(data.data);
      }
      GlobalFree(data.data);
      break;
    default:
      GlobalFree(data.data);
      break;
  }
}

WinClipboardPlatform::~WinClipboardPlatform() {
  if (pending_ || restoreDue_) {
    pending_ = false;
    restoreDue_ = true;
    PutBack(kPutTries);
  }
  if (window_ != nullptr) DestroyWindow(window_);
}

bool WinClipboardPlatform::EnsureWindow() {
  if (window_ != nullptr) return true;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = OwnerProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kOwnerClass;
  RegisterClassW(&windowClass);  // fails harmlessly when already registered
  window_ = CreateWindowExW(0, kOwnerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (window_ == nullptr) return false;
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return true;
}

bool WinClipboardPlatform::PutText(std::u16string_view text) {
  if (pending_ || !EnsureWindow()) return false;
  // The text of an earlier paste not yet asked for: its Ctrl+V still waits
  // in the target's queue and brings in whatever the clipboard holds when
  // the target gets to it. Neither another text nor the user's clipboard may
  // be there then: this run is typed instead.
  if (restoreDue_ && !handedOut_) return false;
  // The user's clipboard of an earlier paste first: saved now, the pasted
  // text would take its place for good.
  if (restoreDue_ && !PutBack(1)) return false;
  text_.assign(text);
  const OpenedClipboard clipboard(window_, kPutTries);
  if (!clipboard) return false;
  saved_.clear();
  bool familySaved[4] = {};
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    const int family = SynthesisFamily(format);
    if (familySaved[family] && family != 0) continue;
    OwnedClipboardData copy = CopyFormat(format);
    if (!copy) continue;
    familySaved[family] = true;
    saved_.push_back(std::move(copy));
  }
  if (!EmptyClipboard()) {
    saved_.clear();
    return false;
  }
  // Delayed rendering: the text is handed out in WM_RENDERFORMAT.
  SetClipboardData(CF_UNICODETEXT, nullptr);
  // Clipboard history and cloud clipboard leave such data alone.
  if (const UINT exclude = RegisterClipboardFormatW(L"ExcludeClipboardContentFromMonitorProcessing")) {
    OwnedGlobal mark(GlobalAlloc(GMEM_MOVEABLE, 1));
    if (mark && SetClipboardData(exclude, mark.get()) != nullptr) mark.release();
  }
  targetProcess_ = 0;
  targetWindow_ = GetForegroundWindow();
  if (targetWindow_ != nullptr) GetWindowThreadProcessId(targetWindow_, &targetProcess_);
  pending_ = true;
  taken_ = false;
  handedOut_ = false;
  return true;
}

void WinClipboardPlatform::Render() {
  OwnedGlobal memory(GlobalAlloc(GMEM_MOVEABLE, (text_.size() + 1) * sizeof(char16_t)));
  if (!memory) return;
  if (void* to = GlobalLock(memory.get())) {
    std::memcpy(to, text_.c_str(), (text_.size() + 1) * sizeof(char16_t));
    GlobalUnlock(memory.get());
    if (SetClipboardData(CF_UNICODETEXT, memory.get()) != nullptr) memory.release();
  }
  handedOut_ = true;
  // Clipboard monitors of other programs may ask first; only the target's
  // request (or one that names no window) means the paste was taken.
  DWORD reader = 0;
  const HWND opener = GetOpenClipboardWindow();
  if (opener != nullptr) GetWindowThreadProcessId(opener, &reader);
  if (opener == nullptr || reader == targetProcess_) taken_ = true;
}

void WinClipboardPlatform::WaitUntilTaken() {
  if (!pending_) return;
  const ULONGLONG deadline = GetTickCount64() + kTakeTimeoutMs;
  for (;;) {
    // Only messages sent to this thread (WM_RENDERFORMAT among them) are
    // handled here; posted ones wait for the message loop. A request that
    // came while the keys went out is handled before any wait.
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    const ULONGLONG now = GetTickCount64();
    if (taken_ || now >= deadline) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE, 0);
  }
}

void WinClipboardPlatform::Restore() {
  if (!pending_) return;
  pending_ = false;
  restoreDue_ = true;
  // Never asked for, the text stays a while: a target slower than the wait
  // is still on its way to the paste, which must not bring the user's
  // clipboard in. Held open by someone, it stays until the holder lets go.
  if (handedOut_ && PutBack(kRestoreTries)) return;
  restoreDeadline_ = GetTickCount64() + kRestoreRetryMs;
  SetTimer(window_, kRestoreTimer, kRestoreTimerMs, nullptr);
}

bool WinClipboardPlatform::PutBack(int tries) {
  const OpenedClipboard clipboard(window_, tries);
  if (!clipboard) return false;
  restoreDue_ = false;
  KillTimer(window_, kRestoreTimer);
  std::vector<OwnedClipboardData> saved = std::move(saved_);
  saved_.clear();
  // Another program that wrote to the clipboard since owns it now: its data stays.
  if (GetClipboardOwner() != window_ || !EmptyClipboard()) return true;
  text_.clear();
  for (OwnedClipboardData& data : saved) {
    if (SetClipboardData(data.get().format, data.get().data) != nullptr) data.release();
  }
  return true;
}

void WinClipboardPlatform::RetryRestore() {
  // A target that has stopped answering has not got to its Ctrl+V yet: the
  // text waits for it, however long that takes.
  const bool late = GetTickCount64() >= restoreDeadline_ &&
                    !(IsWindow(targetWindow_) && IsHungAppWindow(targetWindow_));
  if (restoreDue_ && (handedOut_ || late) && PutBack(1)) return;
  if (restoreDue_ && !late) return;
  // Held for good: the pasted text stays.
  KillTimer(window_, kRestoreTimer);
  restoreDue_ = false;
  saved_.clear();
}

LRESULT CALLBACK WinClipboardPlatform::OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<WinClipboardPlatform*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_RENDERFORMAT:
      if (self != nullptr && wParam == CF_UNICODETEXT) self->Render();
      return 0;
    case WM_TIMER:
      if (self != nullptr && wParam == kRestoreTimer) self->RetryRestore();
      return 0;
    case WM_RENDERALLFORMATS:
      // Going away while the text is still on the clipboard: leave it there whole.
      if (self != nullptr && OpenClipboard(window)) {
        if (GetClipboardOwner() == window) self->Render();
        CloseClipboard();
      }
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace kwo::desktop
