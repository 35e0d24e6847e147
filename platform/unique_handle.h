// The owner of one handle of the operating system: closed once when the
// owner goes, move-only. Each backend names its kinds of handle with a
// traits type:
//   struct Traits {
//     using Handle = ...;
//     static Handle none();          // the value that holds nothing
//     static bool valid(Handle h);   // whether h is a handle to close
//     static void close(Handle h);   // closes it, keeping the caller's error code
//   };
#pragma once

#include <utility>

namespace orvel {

template <class Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  bool valid() const { return Traits::valid(handle_); }
  Handle get() const { return handle_; }
  // Gives the handle up without closing it.
  Handle release() { return std::exchange(handle_, Traits::none()); }
  void reset(Handle handle = Traits::none()) {
    if (Traits::valid(handle_)) Traits::close(handle_);
    handle_ = handle;
  }
  // For a call that returns its handle through a pointer.
  Handle* receive() {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::none();
};

}  // namespace orvel
