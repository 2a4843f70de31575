#pragma once
// Owned kernel handles (processes, tokens, mutexes, files, global memory) for the Windows
// files of every layer; ui/Handles.h has the window-side ones. Windows only.
#include <windows.h>

#include "base/UniqueResource.h"

namespace kwo {

// Processes, tokens, mutexes, events, threads: none is nullptr.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static void Release(HANDLE handle) { CloseHandle(handle); }
};
// CreateFileW's handles: none is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Handle = HANDLE;
  static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
  static void Release(HANDLE handle) { CloseHandle(handle); }
};

// GlobalAlloc's memory (clipboard data before the clipboard takes it).
struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static void Release(HGLOBAL memory) { GlobalFree(memory); }
};

using OwnedHandle = UniqueResource<KernelHandleTraits>;
using OwnedGlobal = UniqueResource<GlobalMemoryTraits>;
using OwnedFile = UniqueResource<FileHandleTraits>;

}  // namespace kwo
