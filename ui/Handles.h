#pragma once
// Owned Windows handles, released when their owner goes away. A handle that
// the system shares (stock objects, LR_SHARED images) is never put in one.
#include <windows.h>

#include <utility>

namespace kwo::ui {

// Traits name the handle type and its release call. (A traits class rather
// than a function-pointer template argument: the address of an imported
// function is no constant expression for every compiler.)
template <class Traits>
class UniqueHandle {
  using Handle = typename Traits::Handle;


 public:
  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, nullptr));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  Handle release() { return std::exchange(handle_, nullptr); }
  void reset(Handle handle = nullptr) {
    if (handle_ != nullptr && handle_ != handle) Traits::Release(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

struct IconTraits {
  using Handle = HICON;
  static void Release(HICON icon) { DestroyIcon(icon); }
};
struct MenuTraits {
  using Handle = HMENU;
  static void Release(HMENU menu) { DestroyMenu(menu); }
};
template <class GdiObject>
struct GdiTraits {
  using Handle = GdiObject;
  static void Release(GdiObject object) { DeleteObject(object); }
};

using OwnedIcon = UniqueHandle<IconTraits>;
using OwnedMenu = UniqueHandle<MenuTraits>;
using OwnedBrush = UniqueHandle<GdiTraits<HBRUSH>>;
using OwnedFont = UniqueHandle<GdiTraits<HFONT>>;

// An icon resource of this program at one size (0: the system's large icon size).
OwnedIcon LoadIconResource(UINT id, int size = 0);

// A solid brush that follows one colour: remade only when the colour changes.
class ColourBrush {
 public:
  HBRUSH Get(COLORREF colour);

 private:
  OwnedBrush brush_;
  COLORREF colour_ = 0;
};

}  // namespace kwo::ui
