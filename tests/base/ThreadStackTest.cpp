// A helper thread's stack given back before the thread ends: the frames in
// use and the margin above them keep working, the deep pages go, the thread
// ends and is joined as usual, and where the system keeps ended threads'
// stacks (Wine) the process holds about a megabyte less afterwards.
#ifdef _WIN32
#include "base/ThreadStack.h"

#include <windows.h>

#include <cstdint>
#include <thread>

#include <gtest/gtest.h>

namespace kwo {
namespace {

// Uses BYTES of stack below the caller; returns an address near the deepest one.
template <std::size_t Bytes>
#if defined(_MSC_VER)
__declspec(noinline)
#else
__attribute__((noinline))
#endif
std::uintptr_t UseStack() {
  volatile char buffer[Bytes];
  for (std::size_t i = 0; i < Bytes; i += 512) buffer[i] = static_cast<char>(i);
  return reinterpret_cast<std::uintptr_t>(&buffer[0]) + 64;
}

bool Committed(std::uintptr_t address) {
  MEMORY_BASIC_INFORMATION region = {};
  return VirtualQuery(reinterpret_cast<void*>(address), &region, sizeof region) == sizeof region &&
         region.State == MEM_COMMIT;
}

// Committed private memory of this process, region by region (what a
// process's private bytes count).
long long PrivateBytes() {
  long long total = 0;
  MEMORY_BASIC_INFORMATION region = {};
  const char* address = nullptr;
  while (VirtualQuery(address, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += static_cast<long long>(region.RegionSize);
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return total;
}

struct StackEnd {
  std::uintptr_t deep = 0;
  bool deepCommittedBefore = false;
  bool deepCommittedAfter = false;
  bool frameCommittedAfter = false;
  std::uintptr_t marginUsed = 0;
};

StackEnd EndThread(bool release) {
  StackEnd end;
  std::thread thread([&end, release] {
    end.deep = UseStack<200 * 1024>();
    end.deepCommittedBefore = Committed(end.deep);
    if (release) ReleaseStackBeforeEnd();
    char here = 0;
    end.frameCommittedAfter = Committed(reinterpret_cast<std::uintptr_t>(&here));
    end.deepCommittedAfter = Committed(end.deep);
    // Calls within the margin still have their stack.
    end.marginUsed = UseStack<kStackEndMargin / 2>();
  });
  thread.join();
  return end;
}

TEST(ThreadStack, KeepsTheFrameAndTheMarginAndEndsTheThread) {
  // Several in a row: each end frees the stack of the thread before it on Wine.
  for (int round = 0; round < 3; ++round) {
    const StackEnd end = EndThread(true);
    EXPECT_TRUE(end.deepCommittedBefore) << round;
    EXPECT_TRUE(end.frameCommittedAfter) << round;
    EXPECT_NE(end.marginUsed, 0u) << round;
    EXPECT_EQ(end.deepCommittedAfter, !StacksOutliveThreads()) << round;
  }
}

TEST(ThreadStack, FindsWineByItsOwnKey) {
  HKEY key = nullptr;
  const bool wine = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Wine", 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (key != nullptr) RegCloseKey(key);
  EXPECT_EQ(StacksOutliveThreads(), wine);
}

TEST(ThreadStack, AnEndedThreadHoldsLessWhereStacksOutliveThreads) {
  if (!StacksOutliveThreads()) GTEST_SKIP() << "the system frees a thread's stack with the thread";
  // The last ended thread's stack stays: measure after one that kept it, then
  // after one that gave it back (its end freed the first one's).
  EndThread(false);
  const long long kept = PrivateBytes();
  EndThread(true);
  const long long released = PrivateBytes();
  EXPECT_GT(kept - released, 512 * 1024) << kept << " " << released;
}

}  // namespace
}  // namespace kwo
#endif
