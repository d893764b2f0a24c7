// Ownership of a handle: UniqueHandle closes the handle it holds (with
// CloseHandle) when it goes out of scope, so every path out of a function
// closes it exactly once. INVALID_HANDLE_VALUE and null mean "no handle".
#ifndef PLATFORM_HANDLE_H
#define PLATFORM_HANDLE_H

#include <utility>

#include "platform/win32.h"

namespace platform {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  explicit operator bool() const { return valid(); }

  // Gives the handle up without closing it.
  HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
  // Closes the handle held (if any) and holds `handle` instead.
  void reset(HANDLE handle = INVALID_HANDLE_VALUE) {
    const HANDLE old = std::exchange(handle_, handle);
    if (old != INVALID_HANDLE_VALUE && old != nullptr) CloseHandle(old);
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace platform

#endif
