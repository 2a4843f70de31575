#pragma once
// Waiting for a condition with a deadline: the only way tests wait.
#include <windows.h>

namespace kwo::wine_test {

// Checks the condition every 20 ms until it holds (true) or the timeout has
// passed (false). Messages of the calling thread are pumped in between.
template <typename Condition>
bool PollUntil(Condition condition, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= deadline) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(20);
  }
}

}  // namespace kwo::wine_test
