#pragma once
// An owned resource of any kind (a Windows handle, a file descriptor, a C
// FILE*), released when its owner goes away. Header-only and free of system
// headers, so that the layers that also build natively can use it.
//
// Traits name the handle type and its release call:
//   struct Traits {
//     using Handle = ...;
//     static void Release(Handle handle);
//     static Handle Empty();  // optional: the "no resource" value when it is
//                             // not Handle{} (a descriptor's -1, INVALID_HANDLE_VALUE)
//   };
// (A traits class rather than a function-pointer template argument: the
// address of an imported function is no constant expression for every compiler.)
#include <type_traits>
#include <utility>

namespace kwo {

namespace detail {
template <class Traits, class = void>
struct EmptyHandle {
  static typename Traits::Handle Get() { return typename Traits::Handle{}; }
};
template <class Traits>
struct EmptyHandle<Traits, std::void_t<decltype(Traits::Empty())>> {
  static typename Traits::Handle Get() { return Traits::Empty(); }
};
}  // namespace detail

template <class Traits>
class UniqueResource {
 public:
  using Handle = typename Traits::Handle;
  static Handle Empty() { return detail::EmptyHandle<Traits>::Get(); }

  UniqueResource() = default;
  explicit UniqueResource(Handle handle) : handle_(handle) {}
  ~UniqueResource() { reset(); }
  UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Empty(); }
  // Gives up ownership; the caller releases the handle.
  Handle release() { return std::exchange(handle_, Empty()); }
  void reset(Handle handle = Empty()) {
    if (handle_ != Empty() && handle_ != handle) Traits::Release(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Empty();
};

}  // namespace kwo
