#include "base/ThreadStack.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdint>

#include "base/SystemLibrary.h"

namespace kwo {

namespace {
// Pages at the stack's low end left alone: the guard below the stack.
constexpr std::uintptr_t kGuardKept = 16 * 1024;
}  // namespace

bool StacksOutliveThreads() {
  // Wine's ntdll tells its version; Windows' has no such function.
  static const bool wine = SystemFunction<const char*(__cdecl*)()>(L"ntdll.dll", "wine_get_version") != nullptr;
  return wine;
}

void ReleaseStackBeforeEnd() {
  if (!StacksOutliveThreads()) return;
  char here = 0;
  MEMORY_BASIC_INFORMATION region = {};
  if (VirtualQuery(&here, &region, sizeof region) != sizeof region || region.AllocationBase == nullptr) return;
  SYSTEM_INFO system = {};
  GetSystemInfo(&system);
  const std::uintptr_t page = system.dwPageSize;
  const std::uintptr_t frame = reinterpret_cast<std::uintptr_t>(&here);
  const std::uintptr_t low = reinterpret_cast<std::uintptr_t>(region.AllocationBase) + kGuardKept;
  if (frame < low + kStackEndMargin) return;
  const std::uintptr_t high = (frame - kStackEndMargin) & ~(page - 1);
  if (high <= low) return;
  VirtualFree(reinterpret_cast<void*>(low), high - low, MEM_DECOMMIT);
}

}  // namespace kwo

#else

namespace kwo {

bool StacksOutliveThreads() { return false; }
void ReleaseStackBeforeEnd() {}

}  // namespace kwo

#endif
