// Ownership of a handle: UniqueHandle closes the handle it holds (with
// CloseHandle) when it goes out of scope, so every path out of a function
// closes it exactly once. INVALID_HANDLE_VALUE and null mean "no handle".
// UniqueFd does the same for a file descriptor (with close); -1 means none.
#ifndef PLATFORM_HANDLE_H
#define PLATFORM_HANDLE_H

#include <unistd.h>

#include <utility>

#include "platform/win32.h"

namespace platform {

// The owner of one resource of a kind; Kind says what "none" is, which
// values are resources, and how one is closed (true when the close worked).
template <typename Kind>
class UniqueResource {
 public:
  using Value = typename Kind::Value;

  UniqueResource() = default;
  explicit UniqueResource(Value value) : value_(value) {}
  ~UniqueResource() { reset(); }

  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Value get() const { return value_; }
  bool valid() const { return Kind::Valid(value_); }
  explicit operator bool() const { return valid(); }

  // Gives the resource up without closing it.
  Value release() { return std::exchange(value_, Kind::None); }
  // Closes the resource held (if any) and holds `value` instead.
  void reset(Value value = Kind::None) {
    const Value old = std::exchange(value_, value);
    if (Kind::Valid(old)) Kind::Close(old);
  }
  // Closes now, for callers that must know: a failed close of a file can be
  // the first report of a write that did not reach it. True when nothing
  // was held.
  bool close() {
    const Value old = release();
    return !Kind::Valid(old) || Kind::Close(old);
  }

 private:
  Value value_ = Kind::None;
};

struct HandleKind {
  using Value = HANDLE;
  static inline const HANDLE None = INVALID_HANDLE_VALUE;
  static bool Valid(HANDLE handle) { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
  static bool Close(HANDLE handle) { return CloseHandle(handle) != 0; }
};

struct FdKind {
  using Value = int;
  static constexpr int None = -1;
  static bool Valid(int fd) { return fd >= 0; }
  static bool Close(int fd) { return ::close(fd) == 0; }
};

using UniqueHandle = UniqueResource<HandleKind>;
using UniqueFd = UniqueResource<FdKind>;

}  // namespace platform

#endif
