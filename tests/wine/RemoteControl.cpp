#include "tests/wine/RemoteControl.h"

#include <commctrl.h>

#include "tests/wine/TestIo.h"
#include "ui/Handles.h"

namespace kwo::wine_test {
namespace {

bool Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  DWORD_PTR value = 0;
  if (!SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &value)) {
    WriteErr(L"driver: the control did not answer message " + std::to_wstring(msg) + L"\n");
    return false;
  }
  result = static_cast<LRESULT>(value);
  return true;
}

// Memory committed in another process, released with it.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, size_t size)
      : process_(process), address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  explicit operator bool() const { return address_ != nullptr; }
  char* Address() const { return static_cast<char*>(address_); }
  bool Write(size_t offset, const void* data, size_t size) const {
    return WriteProcessMemory(process_, Address() + offset, data, size, nullptr) != FALSE;
  }
  bool Read(size_t offset, void* data, size_t size) const {
    return ReadProcessMemory(process_, Address() + offset, data, size, nullptr) != FALSE;
  }

 private:
  HANDLE process_;
  void* address_;
};

// The process of a window, opened for reading and writing its memory.
ui::OwnedHandle OpenWindowProcess(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return ui::OwnedHandle(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
}

constexpr int kItemTextChars = 4096;

}  // namespace

bool ReadControlText(HWND control, std::wstring& text) {
  LRESULT length = 0;
  if (!Send(control, WM_GETTEXTLENGTH, 0, 0, length)) return false;
  std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
  LRESULT copied = 0;
  if (!Send(control, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), copied)) return false;
  buffer.resize(static_cast<size_t>(copied));
  text.swap(buffer);
  return true;
}

bool ReadListView(HWND listView, std::vector<std::vector<std::wstring>>& rows) {
  LRESULT count = 0;
  LRESULT header = 0;
  if (!Send(listView, LVM_GETITEMCOUNT, 0, 0, count) || !Send(listView, LVM_GETHEADER, 0, 0, header)) return false;
  LRESULT columns = 1;
  if (header && !Send(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, columns)) return false;
  if (columns < 1) columns = 1;

  const ui::OwnedHandle process = OpenWindowProcess(listView);
  if (!process) {
    WriteErr(L"driver: cannot open the list-view's process\n");
    return false;
  }
  // One block: the LVITEMW, then the text buffer it points to.
  const size_t textOffset = sizeof(LVITEMW);
  RemoteBuffer remote(process.get(), textOffset + kItemTextChars * sizeof(wchar_t));
  if (!remote) {
    WriteErr(L"driver: VirtualAllocEx failed\n");
    return false;
  }
  rows.assign(static_cast<size_t>(count), {});
  std::vector<wchar_t> text(kItemTextChars);
  for (LRESULT row = 0; row < count; ++row) {
    for (LRESULT column = 0; column < columns; ++column) {
      LVITEMW item = {};
      item.iSubItem = static_cast<int>(column);
      item.pszText = reinterpret_cast<LPWSTR>(remote.Address() + textOffset);
      item.cchTextMax = kItemTextChars;
      LRESULT copied = 0;
      if (!remote.Write(0, &item, sizeof item) ||
          !Send(listView, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.Address()),
                copied) ||
          !remote.Read(textOffset, text.data(), text.size() * sizeof(wchar_t))) {
        WriteErr(L"driver: reading list-view row " + std::to_wstring(row) + L" failed\n");
        return false;
      }
      rows[static_cast<size_t>(row)].emplace_back(text.data(), static_cast<size_t>(copied));
    }
  }
  return true;
}

bool ListViewRowRect(HWND listView, int row, RECT& rect) {
  const ui::OwnedHandle process = OpenWindowProcess(listView);
  RemoteBuffer remote(process.get(), sizeof(RECT));
  rect = RECT{};
  rect.left = LVIR_BOUNDS;
  LRESULT found = 0;
  return process && remote && remote.Write(0, &rect, sizeof rect) &&
         Send(listView, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.Address()),
              found) &&
         found != 0 && remote.Read(0, &rect, sizeof rect);
}

bool ReadListViewSelection(HWND listView, std::vector<int>& rows) {
  rows.clear();
  LRESULT row = -1;
  for (;;) {
    if (!Send(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(row), MAKELPARAM(LVNI_SELECTED, 0), row)) return false;
    if (row < 0) return true;
    rows.push_back(static_cast<int>(row));
  }
}

}  // namespace kwo::wine_test
