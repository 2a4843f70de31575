#pragma once
// One copy of the program per Windows logon: a named mutex held for the
// life of the first copy.
#include <windows.h>

#include <string>
#include <utility>

#include "ui/Handles.h"

namespace kwo::app {

class CInstanceGuard {
 public:
  explicit CInstanceGuard(std::wstring name) : name_(std::move(name)) {}
  CInstanceGuard(const CInstanceGuard&) = delete;
  CInstanceGuard& operator=(const CInstanceGuard&) = delete;

  // True when no other copy holds the mutex; this guard then holds it until
  // it is destroyed.
  bool IsFirstInstance();
  const std::wstring& Name() const { return name_; }

 private:
  std::wstring name_;
  ui::OwnedHandle mutex_;
};

}  // namespace kwo::app
