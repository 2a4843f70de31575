#include "app/InstanceGuard.h"

namespace kwo::app {

bool CInstanceGuard::IsFirstInstance() {
  if (mutex_) return true;
  ui::OwnedHandle mutex(CreateMutexW(nullptr, FALSE, name_.c_str()));
  const DWORD error = GetLastError();
  if (!mutex || error == ERROR_ALREADY_EXISTS) return false;
  mutex_ = std::move(mutex);
  return true;
}

}  // namespace kwo::app
