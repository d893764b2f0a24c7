// The driver side of the device layer: what a device implementation (the
// simulated camera, a test fake) provides, and the table that CreateFileA
// looks names up in.
#ifndef PLATFORM_DEVICE_H
#define PLATFORM_DEVICE_H

#include <memory>
#include <string>

#include "platform/win32.h"

namespace platform {

class DeviceDriver {
 public:
  virtual ~DeviceDriver() = default;

  // Called by CreateFileA for each new handle. Returns ERROR_SUCCESS, or the
  // error code with which the open fails.
  virtual DWORD Open() { return ERROR_SUCCESS; }

  // One I/O-control request. `in` is null when no input is sent and `out` is
  // null when no output is wanted; the sizes are those the caller passed.
  // Returns ERROR_SUCCESS (and sets bytesReturned) or an error code; the
  // device layer turns an error into FALSE and the thread's last error.
  virtual DWORD IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                          DWORD& bytesReturned) = 0;

  // Called by CloseHandle for each handle that Open accepted.
  virtual void Close() {}
};

// Registers a driver under NAME (reachable as "\\.\NAME"), replacing any
// earlier one; handles already open keep the driver they were opened on.
void RegisterDevice(const std::string& name, std::shared_ptr<DeviceDriver> driver);
void UnregisterDevice(const std::string& name);

}  // namespace platform

#endif
