#include "app/InstanceGuard.h"

namespace kwo::app {

CInstanceGuard::~CInstanceGuard() {
  if (mutex_ != nullptr) CloseHandle(mutex_);
}

bool CInstanceGuard::IsFirstInstance() {
  if (mutex_ != nullptr) return true;
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name_.c_str());
  const DWORD error = GetLastError();
  if (mutex == nullptr) return false;
  if (error == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return false;
  }
  mutex_ = mutex;
  return true;
}

}  // namespace kwo::app
