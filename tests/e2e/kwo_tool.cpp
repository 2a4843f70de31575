// Helper of the kwo.exe end-to-end tests and of the measured run: what the
// driver cannot do from a fresh process per step.
//
//   kwo_tool.exe gdi WINDOW
//       prints the GDI object count of the process that owns WINDOW and where
//       it comes from: "gdi N GetGuiResources" or, where that is not
//       implemented (Wine), "gdi N handle-table" (live entries of the
//       process's GDI handle table, found through its PEB)
//   kwo_tool.exe expand-loop KWO_WINDOW RECEIVER_WINDOW KEY EXPECTED_FILE COUNT [EVERY]
//       COUNT expansions in a row, each with real input: Win + Space, KEY
//       typed, Enter; each waits until the receiver's edit (control 100)
//       holds exactly the UTF-8 text of EXPECTED_FILE, then empties it. Prints
//       the GDI count of kwo before the first, after the first ten and after
//       every EVERY (default 100); the last line is "gdi-summary FIRST AFTER_WARMUP LAST"
//   kwo_tool.exe expand-mix KWO_WINDOW RECEIVER_WINDOW COUNT KEY EXPECTED_FILE [KEY EXPECTED_FILE...]
//       COUNT expansions the same way, cycling through the keys, going on
//       after a failure; each is done (the exact text arrived, kwo hid on the
//       Enter and emptied its box), lost (fewer characters arrived),
//       misdirected (kwo stayed up, or other text arrived) or refused (kwo
//       typed nothing and showed a notice). The last line is "expand-mix COUNT
//       lost L misdirected M refused R median-ms MS" (Enter until the text was
//       complete); exit code 1 when any was lost or misdirected
//   kwo_tool.exe expand-checked KWO_WINDOW SECRET_FILE NOTICE_RECEIVER NOTICE_KEY NOTICE_FILE COUNT
//                RECEIVER KEY EXPECTED_FILE [RECEIVER KEY EXPECTED_FILE...]
//       COUNT expansions as expand-mix, each case into its own receiver, with
//       the text of SECRET_FILE put on the clipboard before each; after every
//       third, NOTICE_KEY into NOTICE_RECEIVER, whose first part (NOTICE_FILE)
//       arrives and whose notice is closed with Enter. Counts besides lost,
//       misdirected and refused: leaked (the secret in the receiver),
//       clipboard-not-restored (not the secret again within 10 s of the
//       expansion) and notice-failures. The last line is "expand-checked COUNT
//       lost L misdirected M refused R leaked S clipboard-not-restored C
//       notices N notice-failures F median-ms MS"; exit code 1 when any but
//       refused is not 0
//   kwo_tool.exe hold FILE [exclusive]
//       opens FILE for reading and lets others only read it (exclusive: for
//       reading and writing, and lets nobody else open it), shows a hidden
//       window "E2E File Holder" and keeps the file open until that window
//       gets WM_CLOSE
//   kwo_tool.exe lock-db FILE
//       opens the SQLite database FILE, begins an exclusive transaction (no
//       other process can read or write it), shows a hidden window
//       "E2E Db Locker" and ends the transaction when that window gets WM_CLOSE
//   kwo_tool.exe clipboard-set FILE
//       puts the UTF-8 text of FILE on the clipboard as Unicode text
//   kwo_tool.exe clipboard-text
//       prints the Unicode text on the clipboard (exit code 1 when there is none)
//   kwo_tool.exe hold-clipboard
//       opens the clipboard, shows a hidden window "E2E Clipboard Holder" and
//       keeps the clipboard open until that window gets WM_CLOSE
//   kwo_tool.exe measure-start ROUNDS EXE...
//       round by round, each EXE in turn ("EXE?ARGS" passes arguments):
//       starts it (current directory: its folder) and measures the time
//       until Win + Space is taken, polled every 2 ms by trying
//       RegisterHotKey(MOD_WIN, VK_SPACE) here (released at once when it
//       succeeds), then ends the process. Prints
//       "start EXE ROUND MS" lines and "start-median EXE MS"; a start whose
//       own registration met the probe's brief hold is reported as
//       "collided-with-probe" and left out
//   kwo_tool.exe measure-send ROUNDS RECEIVER_WINDOW TEXT_FILE KWO_WINDOW KEY MINI_WINDOW
//       time from the Enter key until the receiver's edit holds the whole
//       text, for kwo (called up with Win + Space, KEY typed) and for the
//       minimal typer (brought to the front), alternately, and the time until
//       the first character. Prints "send NAME ROUND MS first MS" lines,
//       "send-median NAME MS" and "first-median NAME MS"
//   kwo_tool.exe sample WINDOW
//       one line of resource figures of the process that owns WINDOW:
//       "sample gdi N user N handles N private-kb N sources G,U,H,M". GDI and
//       USER objects come from GetGuiResources, or under Wine from the GDI
//       handle table and the count of the process's windows; open handles
//       from GetProcessHandleCount, or the system handle list; private bytes
//       from GetProcessMemoryInfo, or (Wine) the committed private regions
//   kwo_tool.exe handles WINDOW
//       the open handles of the process that owns WINDOW, one line each:
//       "HANDLE TYPE NAME" (the name of keys, disk files and named objects),
//       from the system handle list; for telling which kind of handle grows
//   kwo_tool.exe measure-popup ROUNDS NAME WINDOW RECEIVER_WINDOW CONTROL_ID
//       time from Win + Space until WINDOW is in front with the focus in its
//       control CONTROL_ID; Esc hides it again after each round. Prints
//       "popup NAME ROUND MS" lines and "popup-median NAME MS"
//   kwo_tool.exe measure-typing NAME WINDOW KEYS_FILE
//       WINDOW in front with the focus in its short-key box: types the
//       characters of KEYS_FILE one at a time (a "<" is a Backspace) and
//       measures each from the key until the box holds the text (letter case
//       aside) and the window has handled everything up to that point (a
//       WM_NULL it answers once its search for the text has filled the list).
//       Prints "type NAME I MS" lines and "type-figures NAME median MS p95 MS"
// Exit code 0 on success, 1 when something did not happen in time, 2 on a
// usage error.
#include <windows.h>
#include <shellapi.h>
#include <winternl.h>
#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <sqlite3.h>

#include "tests/wine/Poll.h"
#include "tests/wine/RemoteControl.h"
#include "tests/wine/SyntheticInput.h"
#include "tests/wine/TestIo.h"
#include "tests/wine/WindowLookup.h"
#include "ui/Handles.h"

using namespace kwo::wine_test;

namespace {

constexpr int kReceiverEdit = 100;
constexpr int kShortKeyBox = 1001;
constexpr int kContentBox = 1002;
constexpr int kProbeHotkeyId = 0x7E2E;
constexpr DWORD kStepTimeoutMs = 20000;

int Usage(const std::wstring& why) {
  WriteErr(L"kwo_tool: " + why + L"\n");
  return 2;
}

int Fail(const std::wstring& why) {
  WriteErr(L"kwo_tool: " + why + L"\n");
  return 1;
}

bool Report(const std::wstring& why) {
  Fail(why);
  return false;
}

double NowMs() {
  LARGE_INTEGER frequency, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::wstring Fixed(double value, int decimals) {
  wchar_t buffer[64];
  std::swprintf(buffer, 64, L"%.*f", decimals, value);
  return buffer;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The value below which `share` (0.99 for p99) of the values lie, the nearest rank.
double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t rank = static_cast<size_t>(share * static_cast<double>(values.size()) + 0.999999);
  return values[std::min(values.size(), std::max<size_t>(rank, 1)) - 1];
}

// --- GDI objects of another process -------------------------------------

// One entry of the GDI handle table (the layout Windows and Wine share).
struct GdiHandleEntry {
  uint64_t object;
  uint32_t owner;
  uint16_t unique;
  uint8_t type;
  uint8_t flags;
  uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "GDI handle entry layout");
constexpr size_t kGdiHandleCount = 0x10000;
constexpr size_t kPebGdiTableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;

long CountFromHandleTable(HANDLE process) {
  using QueryFn = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  if (!query) return -1;
  PROCESS_BASIC_INFORMATION basic = {};
  ULONG length = 0;
  if (query(process, ProcessBasicInformation, &basic, sizeof basic, &length) != 0) return -1;
  void* table = nullptr;
  if (!ReadProcessMemory(process, reinterpret_cast<char*>(basic.PebBaseAddress) + kPebGdiTableOffset, &table,
                         sizeof table, nullptr) ||
      !table) {
    return -1;
  }
  std::vector<GdiHandleEntry> entries(kGdiHandleCount);
  if (!ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof(GdiHandleEntry), nullptr)) return -1;
  long live = 0;
  for (const GdiHandleEntry& entry : entries) {
    if (entry.type != 0) ++live;
  }
  return live;
}

// The count and its source, or -1.
long GdiObjects(DWORD pid, std::wstring& source) {
  const kwo::ui::OwnedHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process) return -1;
  SetLastError(0);
  long count = static_cast<long>(GetGuiResources(process.get(), GR_GDIOBJECTS));
  source = L"GetGuiResources";
  if (count == 0 && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
    count = CountFromHandleTable(process.get());
    source = L"handle-table";
  }
  return count;
}

DWORD WindowPid(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

int CmdGdi(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"gdi WINDOW");
  HWND window = FindTopWindow(args[0]);
  if (!window) return Fail(L"no window " + args[0]);
  std::wstring source;
  const long count = GdiObjects(WindowPid(window), source);
  if (count < 0) return Fail(L"cannot count the GDI objects");
  WriteOut(L"gdi " + std::to_wstring(count) + L" " + source + L"\n");
  return 0;
}

// --- Resource figures of another process -----------------------------------

struct WindowCount {
  DWORD pid;
  long count;
};

BOOL CALLBACK CountChild(HWND hwnd, LPARAM param) {
  auto* counter = reinterpret_cast<WindowCount*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == counter->pid) ++counter->count;
  return TRUE;
}

BOOL CALLBACK CountTop(HWND hwnd, LPARAM param) {
  auto* counter = reinterpret_cast<WindowCount*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != counter->pid) return TRUE;
  ++counter->count;
  EnumChildWindows(hwnd, CountChild, param);
  return TRUE;
}

long UserObjects(HANDLE process, DWORD pid, std::wstring& source) {
  SetLastError(0);
  const long count = static_cast<long>(GetGuiResources(process, GR_USEROBJECTS));
  source = L"GetGuiResources";
  if (count != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return count;
  // Wine keeps USER objects in the server; its windows are the part we can count.
  WindowCount counter{pid, 0};
  EnumWindows(CountTop, reinterpret_cast<LPARAM>(&counter));
  source = L"windows";
  return counter.count;
}

// The system's handle list (class 16): a count, then one record per handle.
struct SystemHandleEntry {
  ULONG ownerPid;
  BYTE objectType;
  BYTE flags;
  USHORT handle;
  PVOID object;
  ACCESS_MASK access;
};

long HandlesFromSystemList(DWORD pid) {
  using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return -1;
  std::vector<char> buffer(1 << 20);
  for (int attempt = 0; attempt < 6; ++attempt) {
    ULONG needed = 0;
    const LONG status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == 0) {
      const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
      const auto* entries = reinterpret_cast<const SystemHandleEntry*>(buffer.data() + sizeof(void*));
      long mine = 0;
      for (ULONG i = 0; i < count; ++i) {
        if (entries[i].ownerPid == pid) ++mine;
      }
      return mine;
    }
    buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
  }
  return -1;
}

long OpenHandles(HANDLE process, DWORD pid, std::wstring& source) {
  DWORD count = 0;
  source = L"GetProcessHandleCount";
  if (GetProcessHandleCount(process, &count) && count > 0) return static_cast<long>(count);
  source = L"system-handles";
  return HandlesFromSystemList(pid);
}

// Committed private memory of another process, region by region.
long long PrivateBytesFromRegions(HANDLE process) {
  long long total = 0;
  MEMORY_BASIC_INFORMATION region = {};
  const char* address = nullptr;
  while (VirtualQueryEx(process, address, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += static_cast<long long>(region.RegionSize);
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return total;
}

long long PrivateBytes(HANDLE process, std::wstring& source) {
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  source = L"GetProcessMemoryInfo";
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory) &&
      memory.PrivateUsage > 0) {
    return static_cast<long long>(memory.PrivateUsage);
  }
  // Wine leaves the figure at 0 for another process.
  source = L"virtual-query";
  return PrivateBytesFromRegions(process);
}

int CmdSample(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"sample WINDOW");
  HWND window = FindTopWindow(args[0]);
  if (!window) return Fail(L"no window " + args[0]);
  const DWORD pid = WindowPid(window);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return Fail(L"cannot open the process");
  std::wstring gdiSource, userSource, handleSource, memorySource;
  const long gdi = GdiObjects(pid, gdiSource);
  const long user = UserObjects(process, pid, userSource);
  const long handles = OpenHandles(process, pid, handleSource);
  const long long privateKb = PrivateBytes(process, memorySource) / 1024;
  CloseHandle(process);
  WriteOut(L"sample gdi " + std::to_wstring(gdi) + L" user " + std::to_wstring(user) + L" handles " +
           std::to_wstring(handles) + L" private-kb " + std::to_wstring(privateKb) + L" sources " + gdiSource +
           L"," + userSource + L"," + handleSource + L"," + memorySource + L"\n");
  return gdi < 0 || handles < 0 || privateKb <= 0 ? 1 : 0;
}

// The type and name of another process's handle, through a duplicate of it.
std::wstring ObjectText(HANDLE object, int infoClass) {
  using QueryFn = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
  std::vector<char> buffer(8192);
  ULONG needed = 0;
  if (!query || query(object, infoClass, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) != 0) return L"";
  // Both answers start with a UNICODE_STRING.
  const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
  return text->Buffer ? std::wstring(text->Buffer, text->Length / sizeof(wchar_t)) : L"";
}

int CmdHandles(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"handles WINDOW");
  HWND window = FindTopWindow(args[0]);
  if (!window) return Fail(L"no window " + args[0]);
  const DWORD pid = WindowPid(window);
  kwo::OwnedHandle process(OpenProcess(PROCESS_DUP_HANDLE, FALSE, pid));
  if (!process) return Fail(L"cannot open the process");
  using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  std::vector<char> buffer(1 << 20);
  ULONG needed = 0;
  while (query && query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) != 0) {
    if (buffer.size() > (64u << 20)) return Fail(L"the system handle list is too long");
    buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
  }
  if (!query) return Fail(L"no NtQuerySystemInformation");
  const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
  const auto* entries = reinterpret_cast<const SystemHandleEntry*>(buffer.data() + sizeof(void*));
  for (ULONG i = 0; i < count; ++i) {
    if (entries[i].ownerPid != pid) continue;
    HANDLE copy = nullptr;
    const HANDLE theirs = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(entries[i].handle));
    std::wstring type = L"?", name;
    if (DuplicateHandle(process.get(), theirs, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
      kwo::OwnedHandle owned(copy);
      type = ObjectText(copy, 2);  // ObjectTypeInformation
      // A pipe's name can block; only disk files are asked for theirs.
      if (type != L"File" || GetFileType(copy) == FILE_TYPE_DISK) name = ObjectText(copy, 1);  // ObjectNameInformation
    }
    WriteOut(std::to_wstring(entries[i].handle) + L" " + type + L" " + name + L"\n");
  }
  return 0;
}

// --- Expansions -----------------------------------------------------------

bool TextIs(HWND control, const std::wstring& wanted) {
  std::wstring text;
  return ReadControlText(control, text) && text == wanted;
}

HWND FocusOf(HWND top) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info) ? info.hwndFocus : nullptr;
}

bool BringToFront(HWND hwnd) {
  SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(hwnd);
  return PollUntil([&] { return GetForegroundWindow() == hwnd; }, 5000);
}

// Win + Space, KEY typed, its content shown; false with a message when a step did not happen.
// The limits are generous: on a loaded machine every key typed runs a search that may take a while.
bool CallUpWithKey(HWND kwo, HWND receiver, const std::wstring& key) {
  if (GetForegroundWindow() != receiver && !BringToFront(receiver)) return Report(L"the receiver is not in front");
  SendChord({VK_LWIN}, VK_SPACE);
  if (!PollUntil([&] { return GetForegroundWindow() == kwo; }, kStepTimeoutMs)) {
    wchar_t front[200] = L"";
    GetWindowTextW(GetForegroundWindow(), front, 200);
    return Report(std::wstring(L"Win + Space did not call kwo up (kwo ") +
                  (IsWindowVisible(kwo) ? L"shown" : L"hidden") + L", in front: \"" + front + L"\")");
  }
  // Keys typed before the activation has put the focus into the box would go to the dialog itself.
  HWND keyBox = GetDlgItem(kwo, kShortKeyBox);
  if (!PollUntil([&] { return FocusOf(kwo) == keyBox; }, kStepTimeoutMs)) {
    return Report(L"the short-key box did not get the focus");
  }
  TypeUnicode(key);
  HWND box = GetDlgItem(kwo, kContentBox);
  // Each typed unit runs a search in kwo: on a busy machine that takes a while.
  if (!PollUntil([&] { return SendMessageW(box, WM_GETTEXTLENGTH, 0, 0) > 0; }, kStepTimeoutMs)) {
    std::wstring typed;
    ReadControlText(keyBox, typed);
    return Report(L"the content box stayed empty; the short-key box holds \"" + Escaped(typed) + L"\"");
  }
  return true;
}

// One expansion with real input: Win + Space, KEY typed, Enter; waits until
// the receiver holds exactly EXPECTED and kwo has emptied its box.
enum class Expansion { Done, Lost, Misdirected, Refused };

// The text of kwo's notice box, if one is up.
std::wstring NoticeText() {
  HWND box = FindTopWindow(L"温馨提示");
  std::wstring text;
  if (box) ReadControlText(GetDlgItem(box, 0xFFFF), text);
  return text;
}

Expansion ExpandOnce(HWND kwo, HWND receiver, const std::wstring& key, const std::wstring& expected, double& ms) {
  HWND edit = GetDlgItem(receiver, kReceiverEdit);
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  if (!CallUpWithKey(kwo, receiver, key)) return Expansion::Misdirected;
  const double t0 = NowMs();
  SendChord({}, VK_RETURN);
  // The Enter is kwo's: kwo hides, and either types or says why not.
  std::wstring notice;
  const bool hidden = PollUntil(
      [&] {
        notice = NoticeText();
        return !IsWindowVisible(kwo) || !notice.empty();
      },
      5000);
  const auto refused = [&] {
    Report(L"kwo did not send: \"" + Escaped(notice) + L"\"");
    return Expansion::Refused;
  };
  if (!notice.empty()) return refused();
  if (!hidden) {
    std::wstring actual;
    ReadControlText(edit, actual);
    const HWND front = GetForegroundWindow();
    Report(L"kwo stayed visible after Enter; in front: \"" + (front ? TitleOf(front) : std::wstring()) +
           L"\"; the receiver holds \"" + Escaped(actual) + L"\"");
    return Expansion::Misdirected;
  }
  // Under load the text may arrive slowly: given up only when it stops growing.
  std::wstring actual;
  double lastGrowth = NowMs();
  size_t length = 0;
  while (!TextIs(edit, expected)) {
    if (!(notice = NoticeText()).empty()) return refused();
    ReadControlText(edit, actual);
    if (actual.size() != length) {
      length = actual.size();
      lastGrowth = NowMs();
    } else if (NowMs() - lastGrowth > 10000) {
      Report(L"the receiver holds \"" + Escaped(actual) + L"\", not \"" + Escaped(expected) + L"\"");
      // Fewer characters than meant: keys went nowhere. More or others: keys went astray.
      return actual.size() < expected.size() ? Expansion::Lost : Expansion::Misdirected;
    }
    Sleep(20);
  }
  ms = NowMs() - t0;
  // The box is emptied after the typing; then the expansion is complete.
  if (!PollUntil([&] { return TextIs(GetDlgItem(kwo, kShortKeyBox), L""); }, 10000)) {
    Report(L"the short-key box was not emptied");
    return Expansion::Lost;
  }
  return Expansion::Done;
}

int CmdExpandLoop(const std::vector<std::wstring>& args) {
  if (args.size() < 5) return Usage(L"expand-loop KWO_WINDOW RECEIVER_WINDOW KEY EXPECTED_FILE COUNT [EVERY]");
  HWND kwo = FindTopWindow(args[0]);
  HWND receiver = FindTopWindow(args[1]);
  if (!kwo || !receiver) return Fail(L"kwo or the receiver is missing");
  std::wstring content;
  if (!ReadUtf8File(args[3], content)) return 1;
  const int count = _wtoi(args[4].c_str());
  const int every = args.size() > 5 ? std::max(1, _wtoi(args[5].c_str())) : 100;
  const DWORD pid = WindowPid(kwo);
  std::wstring source;
  long first = GdiObjects(pid, source), afterWarmup = -1, last = first;
  WriteOut(L"gdi before 0: " + std::to_wstring(first) + L" (" + source + L")\n");
  const double start = NowMs();
  for (int i = 1; i <= count; ++i) {
    double ms = 0;
    if (ExpandOnce(kwo, receiver, args[2], content, ms) != Expansion::Done) {
      return Fail(L"expansion " + std::to_wstring(i));
    }
    if (i == 10 || i % every == 0 || i == count) {
      last = GdiObjects(pid, source);
      // Wine's caches fill over the first hundred or so: counted from the first block on.
      if (i == every || (afterWarmup < 0 && i == count)) afterWarmup = last;
      WriteOut(L"gdi after " + std::to_wstring(i) + L": " + std::to_wstring(last) + L"\n");
    }
  }
  WriteOut(L"expansions " + std::to_wstring(count) + L" in " + Fixed((NowMs() - start) / 1000.0, 1) + L" s\n");
  WriteOut(L"gdi-summary " + std::to_wstring(first) + L" " + std::to_wstring(afterWarmup) + L" " +
           std::to_wstring(last) + L"\n");
  return 0;
}

// After an expansion that went wrong kwo may still be up, showing a notice or
// holding the key: the next one starts afresh.
void StartAfresh(HWND kwo) {
  PollUntil([&] { return FindTopWindow(L"温馨提示") == nullptr; }, 10000);
  if (IsWindowVisible(kwo)) {
    BringToFront(kwo);
    SendChord({}, VK_ESCAPE);
    PollUntil([&] { return !IsWindowVisible(kwo); }, 5000);
  }
  SendMessageW(GetDlgItem(kwo, kShortKeyBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
}

// Counts a failed expansion and names it on a line of its own.
void CountFailure(Expansion outcome, int number, const std::wstring& key, int& lost, int& refused, int& misdirected) {
  const wchar_t* what = outcome == Expansion::Lost      ? L" lost\n"
                        : outcome == Expansion::Refused ? L" refused\n"
                                                        : L" misdirected\n";
  (outcome == Expansion::Lost ? lost : outcome == Expansion::Refused ? refused : misdirected) += 1;
  WriteOut(L"expansion " + std::to_wstring(number) + L" " + key + what);
}

int CmdExpandMix(const std::vector<std::wstring>& args) {
  if (args.size() < 5 || (args.size() - 3) % 2 != 0) {
    return Usage(L"expand-mix KWO_WINDOW RECEIVER_WINDOW COUNT KEY EXPECTED_FILE [KEY EXPECTED_FILE...]");
  }
  HWND kwo = FindTopWindow(args[0]);
  HWND receiver = FindTopWindow(args[1]);
  if (!kwo || !receiver) return Fail(L"kwo or the receiver is missing");
  std::vector<std::pair<std::wstring, std::wstring>> cases;
  for (size_t i = 3; i + 1 < args.size(); i += 2) {
    std::wstring expected;
    if (!ReadUtf8File(args[i + 1], expected)) return 1;
    cases.emplace_back(args[i], expected);
  }
  const int count = std::max(1, _wtoi(args[2].c_str()));
  int lost = 0, misdirected = 0, refused = 0;
  std::vector<double> times;
  for (int i = 0; i < count; ++i) {
    const auto& [key, expected] = cases[static_cast<size_t>(i) % cases.size()];
    double ms = 0;
    const Expansion outcome = ExpandOnce(kwo, receiver, key, expected, ms);
    if (outcome == Expansion::Done) {
      times.push_back(ms);
      continue;
    }
    CountFailure(outcome, i + 1, key, lost, refused, misdirected);
    StartAfresh(kwo);
  }
  WriteOut(L"expand-mix " + std::to_wstring(count) + L" lost " + std::to_wstring(lost) + L" misdirected " +
           std::to_wstring(misdirected) + L" refused " + std::to_wstring(refused) + L" median-ms " +
           Fixed(Median(times), 1) + L"\n");
  return lost + misdirected == 0 ? 0 : 1;
}

// --- Holding a file ---------------------------------------------------------

// Shows a hidden window with this title and waits until it is closed (the
// script's signal to let go); false when the window cannot be made.
bool WaitForClose(const wchar_t* title) {
  HWND window = CreateWindowExW(0, L"STATIC", title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (!window) return false;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == window && msg.message == WM_CLOSE) break;
    DispatchMessageW(&msg);
  }
  DestroyWindow(window);
  return true;
}

int CmdHold(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"hold FILE [exclusive]");
  const bool exclusive = args.size() > 1 && args[1] == L"exclusive";
  const kwo::ui::OwnedFile file(CreateFileW(args[0].c_str(), exclusive ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                                            exclusive ? 0 : FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return Fail(L"cannot open " + args[0]);
  return WaitForClose(L"E2E File Holder") ? 0 : Fail(L"cannot create the window");
}

int CmdLockDb(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"lock-db FILE");
  sqlite3* db = nullptr;
  if (sqlite3_open16(args[0].c_str(), &db) != SQLITE_OK ||
      sqlite3_exec(db, "begin exclusive", nullptr, nullptr, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return Fail(L"cannot lock " + args[0]);
  }
  const bool shown = WaitForClose(L"E2E Db Locker");
  sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return shown ? 0 : Fail(L"cannot create the window");
}

// --- The clipboard ------------------------------------------------------------

// The text as the clipboard's only content; false with a message when that failed.
bool PutClipboardText(const std::wstring& text) {
  kwo::OwnedGlobal memory(GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t)));
  if (!memory) return Report(L"out of memory");
  std::memcpy(GlobalLock(memory.get()), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(memory.get());
  if (!PollUntil([] { return OpenClipboard(nullptr) != FALSE; }, 5000)) return Report(L"cannot open the clipboard");
  const bool put = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory.get()) != nullptr;
  if (put) memory.release();
  CloseClipboard();
  return put || Report(L"cannot put the text on the clipboard");
}

// The Unicode text on the clipboard; false with a message when there is none.
bool ReadClipboardText(std::wstring& text) {
  if (!PollUntil([] { return OpenClipboard(nullptr) != FALSE; }, 5000)) return Report(L"cannot open the clipboard");
  text.clear();
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (const auto* units = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr) {
    text = units;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return data != nullptr || Report(L"no text on the clipboard");
}

int CmdClipboardSet(const std::vector<std::wstring>& args) {
  if (args.empty()) return Usage(L"clipboard-set FILE");
  std::wstring text;
  if (!ReadUtf8File(args[0], text)) return 1;
  return PutClipboardText(text) ? 0 : 1;
}

int CmdClipboardText() {
  std::wstring text;
  if (!ReadClipboardText(text)) return 1;
  WriteOut(text);
  return 0;
}

// --- Expansions the user must be able to trust ----------------------------------

// The notice expansion: its first part arrives, the notice comes up and is
// closed with Enter, as a user does. False with a message when a step did not happen.
bool ExpandWithNotice(HWND kwo, HWND receiver, const std::wstring& key, const std::wstring& arrives) {
  HWND edit = GetDlgItem(receiver, kReceiverEdit);
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  if (!CallUpWithKey(kwo, receiver, key)) return false;
  SendChord({}, VK_RETURN);
  HWND box = nullptr;
  if (!PollUntil([&] { return (box = FindTopWindow(L"温馨提示")) != nullptr; }, kStepTimeoutMs)) {
    return Report(L"no notice came up");
  }
  if (!PollUntil([&] { return TextIs(edit, arrives); }, kStepTimeoutMs)) {
    std::wstring actual, said;
    ReadControlText(edit, actual);
    ReadControlText(GetDlgItem(box, 0xFFFF), said);
    return Report(L"the receiver holds \"" + Escaped(actual) + L"\", not \"" + Escaped(arrives) + L"\"; the notice says \"" +
                  Escaped(said) + L"\"");
  }
  if (!BringToFront(box)) return Report(L"the notice cannot be brought to the front");
  SendChord({}, VK_RETURN);
  if (!PollUntil([&] { return FindTopWindow(L"温馨提示") == nullptr; }, kStepTimeoutMs)) {
    return Report(L"Enter did not close the notice");
  }
  // Stopped part-way, kwo keeps the key in its box: emptied, as the user would.
  SendMessageW(GetDlgItem(kwo, kShortKeyBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
  return true;
}

int CmdExpandChecked(const std::vector<std::wstring>& args) {
  if (args.size() < 9 || (args.size() - 6) % 3 != 0) {
    return Usage(L"expand-checked KWO_WINDOW SECRET_FILE NOTICE_RECEIVER NOTICE_KEY NOTICE_FILE COUNT "
                 L"RECEIVER KEY EXPECTED_FILE [RECEIVER KEY EXPECTED_FILE...]");
  }
  HWND kwo = FindTopWindow(args[0]);
  HWND noticeReceiver = FindTopWindow(args[2]);
  std::wstring secret, noticeText;
  if (!kwo || !noticeReceiver) return Fail(L"kwo or the notice's receiver is missing");
  if (!ReadUtf8File(args[1], secret) || !ReadUtf8File(args[4], noticeText)) return 1;
  struct Case {
    HWND receiver;
    std::wstring key, expected;
  };
  std::vector<Case> cases;
  for (size_t i = 6; i + 2 < args.size(); i += 3) {
    Case c{FindTopWindow(args[i]), args[i + 1], {}};
    if (!c.receiver) return Fail(L"no receiver " + args[i]);
    if (!ReadUtf8File(args[i + 2], c.expected)) return 1;
    cases.push_back(std::move(c));
  }
  const int count = std::max(1, _wtoi(args[5].c_str()));
  int lost = 0, misdirected = 0, refused = 0, leaked = 0, notRestored = 0, notices = 0, noticeFailures = 0;
  std::vector<double> times;
  const auto leaks = [&](HWND receiver) {
    std::wstring text;
    return ReadControlText(GetDlgItem(receiver, kReceiverEdit), text) && text.find(secret) != std::wstring::npos;
  };
  for (int i = 0; i < count; ++i) {
    const Case& c = cases[static_cast<size_t>(i) % cases.size()];
    if (!PutClipboardText(secret)) return Fail(L"cannot set the clipboard");
    double ms = 0;
    const Expansion outcome = ExpandOnce(kwo, c.receiver, c.key, c.expected, ms);
    if (leaks(c.receiver)) {
      ++leaked;
      WriteOut(L"expansion " + std::to_wstring(i + 1) + L" " + c.key + L" brought the user's clipboard in\n");
    }
    // Read only once the whole text has arrived: a read while a paste waits would count as the target's.
    std::wstring clip;
    if (!PollUntil([&] { return ReadClipboardText(clip) && clip == secret; }, 10000)) {
      ++notRestored;
      WriteOut(L"expansion " + std::to_wstring(i + 1) + L" " + c.key + L": the clipboard holds \"" + Escaped(clip) +
               L"\"\n");
    }
    if (outcome == Expansion::Done) {
      times.push_back(ms);
    } else {
      CountFailure(outcome, i + 1, c.key, lost, refused, misdirected);
      StartAfresh(kwo);
    }
    if (i % 3 == 2) {
      ++notices;
      if (!ExpandWithNotice(kwo, noticeReceiver, args[3], noticeText)) {
        ++noticeFailures;
        WriteOut(L"notice after expansion " + std::to_wstring(i + 1) + L" failed\n");
        PollUntil([&] { return FindTopWindow(L"温馨提示") == nullptr; }, 10000);
        SendMessageW(GetDlgItem(kwo, kShortKeyBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
      }
    }
  }
  WriteOut(L"expand-checked " + std::to_wstring(count) + L" lost " + std::to_wstring(lost) + L" misdirected " +
           std::to_wstring(misdirected) + L" refused " + std::to_wstring(refused) + L" leaked " +
           std::to_wstring(leaked) + L" clipboard-not-restored " + std::to_wstring(notRestored) + L" notices " +
           std::to_wstring(notices) + L" notice-failures " + std::to_wstring(noticeFailures) + L" median-ms " +
           Fixed(Median(times), 1) + L"\n");
  return lost + misdirected + leaked + notRestored + noticeFailures == 0 ? 0 : 1;
}

int CmdHoldClipboard() {
  HWND window = CreateWindowExW(0, L"STATIC", L"E2E Clipboard Holder", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (!window) return Fail(L"cannot create the window");
  if (!OpenClipboard(window)) return Fail(L"cannot open the clipboard");
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == window && msg.message == WM_CLOSE) break;
    DispatchMessageW(&msg);
  }
  CloseClipboard();
  DestroyWindow(window);
  return 0;
}

// --- Measurements -----------------------------------------------------------

// True when another program holds Win + Space. A successful probe is undone at once.
bool HotkeyTaken() {
  if (RegisterHotKey(nullptr, kProbeHotkeyId, MOD_WIN, VK_SPACE)) {
    UnregisterHotKey(nullptr, kProbeHotkeyId);
    return false;
  }
  return true;
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

int CmdMeasureStart(const std::vector<std::wstring>& args) {
  if (args.size() < 2) return Usage(L"measure-start ROUNDS EXE...");
  const int rounds = std::max(1, _wtoi(args[0].c_str()));
  if (HotkeyTaken()) return Fail(L"Win + Space is already taken before the start");
  const std::vector<std::wstring> programs(args.begin() + 1, args.end());
  std::vector<std::vector<double>> times(programs.size());
  // Round by round, the programs in turn: neither always starts with warmer caches.
  for (int round = 1; round <= rounds; ++round) {
    for (size_t e = 0; e < programs.size(); ++e) {
      const size_t mark = programs[e].find(L'?');
      const std::wstring exe = programs[e].substr(0, mark);
      std::wstring commandLine = L"\"" + exe + L"\"";
      if (mark != std::wstring::npos) commandLine += L" " + programs[e].substr(mark + 1);
      const std::wstring folder = FolderOf(exe);
      STARTUPINFOW startup = {};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION process = {};
      const double t0 = NowMs();
      if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        return Fail(L"cannot start " + exe);
      }
      bool taken = false;
      double t1 = t0;
      while (NowMs() - t0 < 30000) {
        if (HotkeyTaken()) {
          t1 = NowMs();
          taken = true;
          break;
        }
        Sleep(2);
      }
      const kwo::ui::OwnedHandle thread(process.hThread), child(process.hProcess);
      TerminateProcess(child.get(), 0);
      WaitForSingleObject(child.get(), 10000);
      // The hotkey of an ended process is released; wait for that before the next start.
      PollUntil([] { return !HotkeyTaken(); }, 5000);
      if (!taken) {
        // The program's own registration met the probe's brief hold: not a measurement.
        WriteOut(L"start " + programs[e] + L" " + std::to_wstring(round) + L" collided-with-probe\n");
        continue;
      }
      times[e].push_back(t1 - t0);
      WriteOut(L"start " + programs[e] + L" " + std::to_wstring(round) + L" " + Fixed(t1 - t0, 1) + L"\n");
    }
  }
  for (size_t e = 0; e < programs.size(); ++e) {
    WriteOut(L"start-median " + programs[e] + L" " + Fixed(Median(times[e]), 1) + L"\n");
  }
  return 0;
}

int CmdMeasureSend(const std::vector<std::wstring>& args) {
  if (args.size() < 6) return Usage(L"measure-send ROUNDS RECEIVER_WINDOW TEXT_FILE KWO_WINDOW KEY MINI_WINDOW");
  const int rounds = std::max(1, _wtoi(args[0].c_str()));
  HWND receiver = FindTopWindow(args[1]);
  HWND kwo = FindTopWindow(args[3]);
  HWND mini = FindTopWindow(args[5]);
  if (!receiver || !kwo || !mini) return Fail(L"a window is missing");
  std::wstring text;
  if (!ReadUtf8File(args[2], text)) return 1;
  HWND edit = GetDlgItem(receiver, kReceiverEdit);
  auto arrived = [&] { return SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0) >= static_cast<LRESULT>(text.size()); };
  // One run: the program in front of the receiver, then Enter; the times
  // until the first character and until the whole text is there.
  auto run = [&](bool isKwo, double& ms, double& firstMs) -> bool {
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    if (!BringToFront(receiver)) return Report(L"the receiver is not in front");
    if (isKwo) {
      if (!CallUpWithKey(kwo, receiver, args[4])) return false;
    } else {
      ShowWindow(mini, SW_SHOW);
      if (!BringToFront(mini)) return Report(L"the minimal typer is not in front");
    }
    const double t0 = NowMs();
    SendChord({}, VK_RETURN);
    LRESULT length = 0;
    double lastGrowth = t0;
    firstMs = -1;
    while (!arrived()) {
      const LRESULT now = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
      if (now != length) {
        if (length == 0) firstMs = NowMs() - t0;
        length = now;
        lastGrowth = NowMs();
      } else if (NowMs() - lastGrowth > 10000) {
        return Report(L"the text stopped arriving at " + std::to_wstring(length) + L" of " +
                      std::to_wstring(text.size()) + L" characters");
      }
      Sleep(2);
    }
    ms = NowMs() - t0;
    if (firstMs < 0) firstMs = ms;
    if (!TextIs(edit, text)) return Report(L"the receiver holds another text");
    if (isKwo && !PollUntil([&] { return TextIs(GetDlgItem(kwo, kShortKeyBox), L""); }, 5000)) {
      return Report(L"kwo did not finish");
    }
    return true;
  };
  std::vector<double> kwoTimes, miniTimes, kwoFirst, miniFirst;
  for (int round = 1; round <= rounds; ++round) {
    // Alternate which goes first, so that neither always meets a warmer receiver.
    for (int k = 0; k < 2; ++k) {
      const bool isKwo = (round + k) % 2 == 0;
      double ms = 0, firstMs = 0;
      if (!run(isKwo, ms, firstMs)) return 1;
      (isKwo ? kwoTimes : miniTimes).push_back(ms);
      (isKwo ? kwoFirst : miniFirst).push_back(firstMs);
      WriteOut(std::wstring(L"send ") + (isKwo ? L"kwo " : L"minimal ") + std::to_wstring(round) + L" " +
               Fixed(ms, 1) + L" first " + Fixed(firstMs, 1) + L"\n");
    }
  }
  WriteOut(L"send-median kwo " + Fixed(Median(kwoTimes), 1) + L"\n");
  WriteOut(L"send-median minimal " + Fixed(Median(miniTimes), 1) + L"\n");
  WriteOut(L"first-median kwo " + Fixed(Median(kwoFirst), 1) + L"\n");
  WriteOut(L"first-median minimal " + Fixed(Median(miniFirst), 1) + L"\n");
  return 0;
}

int CmdMeasurePopup(const std::vector<std::wstring>& args) {
  if (args.size() < 5) return Usage(L"measure-popup ROUNDS NAME WINDOW RECEIVER_WINDOW CONTROL_ID");
  const int rounds = std::max(1, _wtoi(args[0].c_str()));
  HWND window = FindTopWindow(args[2]);
  HWND receiver = FindTopWindow(args[3]);
  if (!window || !receiver) return Fail(L"a window is missing");
  HWND control = GetDlgItem(window, _wtoi(args[4].c_str()));
  if (!control) return Fail(L"no control " + args[4]);
  std::vector<double> times;
  int behind = 0;  // presses after which the window was not in front with the focus within 5 s
  for (int round = 1; round <= rounds; ++round) {
    if (!BringToFront(receiver)) return Fail(L"the receiver is not in front");
    const double t0 = NowMs();
    SendChord({VK_LWIN}, VK_SPACE);
    // Polled every millisecond: the figure is the time until both hold.
    bool ready = false;
    while (NowMs() - t0 < 5000) {
      if (GetForegroundWindow() == window && IsWindowVisible(window) && FocusOf(window) == control) {
        ready = true;
        break;
      }
      Sleep(1);
    }
    const double ms = NowMs() - t0;
    if (!ready) {
      // Counted, and the round ends as a user would end it: the window brought up and hidden.
      ++behind;
      WriteOut(L"popup " + args[1] + L" " + std::to_wstring(round) + L" behind\n");
      if (IsWindowVisible(window)) BringToFront(window);
    } else {
      times.push_back(ms);
      WriteOut(L"popup " + args[1] + L" " + std::to_wstring(round) + L" " + Fixed(ms, 1) + L"\n");
    }
    SendChord({}, VK_ESCAPE);
    if (!PollUntil([&] { return !IsWindowVisible(window); }, 5000)) return Fail(L"Esc did not hide " + args[1]);
  }
  WriteOut(L"popup-median " + args[1] + L" " + Fixed(Median(times), 1) + L"\n");
  const double slowest = times.empty() ? 0 : *std::max_element(times.begin(), times.end());
  WriteOut(L"popup-summary " + args[1] + L" presses " + std::to_wstring(rounds) + L" median " +
           Fixed(Median(times), 1) + L" p99 " + Fixed(Percentile(times, 0.99), 1) + L" slowest " +
           Fixed(slowest, 1) + L" behind " + std::to_wstring(behind) + L"\n");
  return behind == 0 ? 0 : 1;
}

int CmdMeasureTyping(const std::vector<std::wstring>& args) {
  if (args.size() < 3) return Usage(L"measure-typing NAME WINDOW KEYS_FILE");
  HWND window = FindTopWindow(args[1]);
  if (!window) return Fail(L"no window " + args[1]);
  HWND box = GetDlgItem(window, 1001);
  std::wstring keys;
  if (!box || !ReadUtf8File(args[2], keys)) return Fail(L"no short-key box, or no keys file");
  if (!BringToFront(window)) return Fail(L"the window is not in front");
  auto upper = [](std::wstring text) {
    if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
  };
  std::wstring expected;
  if (!ReadControlText(box, expected)) return Fail(L"cannot read the box");
  std::vector<double> times;
  for (wchar_t key : keys) {
    if (key == L'\r' || key == L'\n') continue;
    const double t0 = NowMs();
    if (key == L'<') {
      if (!expected.empty()) expected.pop_back();
      SendChord({}, VK_BACK);
    } else {
      expected += key;
      TypeUnicode(std::wstring(1, key));
    }
    const std::wstring wanted = upper(expected);
    std::wstring text;
    // Polled every millisecond, as the figure is that fine.
    bool holds = false;
    while (!(holds = ReadControlText(box, text) && upper(text) == wanted) && NowMs() - t0 < 10000) Sleep(1);
    if (!holds)
      return Fail(L"the box did not come to hold " + expected + L" (it holds " + text + L")");
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored))
      return Fail(L"the window did not answer after " + expected);
    const double ms = NowMs() - t0;
    times.push_back(ms);
    WriteOut(L"type " + args[0] + L" " + std::to_wstring(times.size()) + L" " + Fixed(ms, 1) + L"\n");
  }
  WriteOut(L"type-figures " + args[0] + L" median " + Fixed(Median(times), 1) + L" p95 " +
           Fixed(Percentile(times, 0.95), 1) + L"\n");
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::vector<std::wstring> all = kwo::wine_test::CommandLineArgs();
  if (all.size() < 2) return Usage(L"no command; see the top of kwo_tool.cpp");
  const std::wstring command = all[1];
  std::vector<std::wstring> args(all.begin() + 2, all.end());
  if (command == L"gdi") return CmdGdi(args);
  if (command == L"expand-loop") return CmdExpandLoop(args);
  if (command == L"expand-mix") return CmdExpandMix(args);
  if (command == L"expand-checked") return CmdExpandChecked(args);
  if (command == L"hold") return CmdHold(args);
  if (command == L"lock-db") return CmdLockDb(args);
  if (command == L"clipboard-set") return CmdClipboardSet(args);
  if (command == L"clipboard-text") return CmdClipboardText();
  if (command == L"hold-clipboard") return CmdHoldClipboard();
  if (command == L"measure-start") return CmdMeasureStart(args);
  if (command == L"measure-send") return CmdMeasureSend(args);
  if (command == L"sample") return CmdSample(args);
  if (command == L"handles") return CmdHandles(args);
  if (command == L"measure-popup") return CmdMeasurePopup(args);
  if (command == L"measure-typing") return CmdMeasureTyping(args);
  return Usage(L"unknown command: " + command);
}
