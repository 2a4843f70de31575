#pragma once
// The stack of a helper thread that is about to end for good. Windows frees
// a thread's stack with the thread. Wine commits a thread's whole stack (at
// least 1 MB, all of it resident) and keeps it after the thread ended, until
// another thread of the process ends: a thread that ran once at the start
// would hold that megabyte for the rest of the program's life.

namespace kwo {

// Decommits the calling thread's stack below the current frame, keeping a
// margin (kStackEndMargin) for the thread's own end: its return, the
// runtime's and the libraries' thread-detach work. The lowest pages, the
// stack's guard, stay as they are. Only where the system keeps ended threads'
// stacks (Wine); elsewhere it does nothing. The caller returns right after,
// through no deep calls: below the margin the stack is gone.
void ReleaseStackBeforeEnd();

constexpr unsigned kStackEndMargin = 64 * 1024;

// True when ReleaseStackBeforeEnd gives memory back on this system.
bool StacksOutliveThreads();

}  // namespace kwo
