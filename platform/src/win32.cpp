// Handles, last error, devices and named events.
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <variant>

#include "platform/device.h"
#include "platform/win32.h"

namespace {

thread_local DWORD tLastError = ERROR_SUCCESS;

// A Win32 event: a flag guarded by a mutex, with a condition variable for the
// waiters. An auto-reset event hands each signal to exactly one waiter.
struct Event {
  std::mutex mutex;
  std::condition_variable cv;
  bool manualReset = false;
  bool signalled = false;
};

struct DeviceObject {
  std::shared_ptr<platform::DeviceDriver> driver;
};

using Object = std::variant<DeviceObject, std::shared_ptr<Event>>;

// Every handle is a key into one table; keys start above the small integers
// and never repeat, so a stale handle is never mistaken for a new one.
class HandleTable {
 public:
  HANDLE Add(Object object) {
    std::lock_guard lock(mutex_);
    std::uintptr_t key = next_;
    next_ += 4;
    objects_.emplace(key, std::move(object));
    return reinterpret_cast<HANDLE>(key);
  }
  bool Remove(HANDLE h, Object& removed) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == objects_.end()) return false;
    removed = std::move(it->second);
    objects_.erase(it);
    return true;
  }
  std::shared_ptr<platform::DeviceDriver> Device(HANDLE h) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == objects_.end()) return nullptr;
    auto* device = std::get_if<DeviceObject>(&it->second);
    return device ? device->driver : nullptr;
  }
  std::shared_ptr<Event> EventOf(HANDLE h) {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == objects_.end()) return nullptr;
    auto* event = std::get_if<std::shared_ptr<Event>>(&it->second);
    return event ? *event : nullptr;
  }

 private:
  std::mutex mutex_;
  std::uintptr_t next_ = 0x1000;
  std::unordered_map<std::uintptr_t, Object> objects_;
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

struct Registry {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<platform::DeviceDriver>> devices;
  // Named events live while a handle to them is open.
  std::map<std::string, std::weak_ptr<Event>> events;
};

Registry& Names() {
  static Registry registry;
  return registry;
}

constexpr char kDevicePrefix[] = "\\\\.\\";

}  // namespace

DWORD GetLastError() { return tLastError; }
void SetLastError(DWORD error) { tLastError = error; }

void Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

namespace platform {

void RegisterDevice(const std::string& name, std::shared_ptr<DeviceDriver> driver) {
  std::lock_guard lock(Names().mutex);
  Names().devices[name] = std::move(driver);
}

void UnregisterDevice(const std::string& name) {
  std::lock_guard lock(Names().mutex);
  Names().devices.erase(name);
}

}  // namespace platform

HANDLE CreateFileA(const char* path, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::size_t prefix = sizeof(kDevicePrefix) - 1;
  std::shared_ptr<platform::DeviceDriver> driver;
  if (std::strncmp(path, kDevicePrefix, prefix) == 0) {
    std::lock_guard lock(Names().mutex);
    auto it = Names().devices.find(path + prefix);
    if (it != Names().devices.end()) driver = it->second;
  }
  if (!driver) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (DWORD error = driver->Open(); error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  return Handles().Add(DeviceObject{std::move(driver)});
}

BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                     DWORD* bytesReturned, void*) {
  auto driver = Handles().Device(device);
  if (!driver) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  DWORD returned = 0;
  DWORD error = driver->IoControl(code, in, in ? inSize : 0, out, out ? outSize : 0, returned);
  if (bytesReturned) *bytesReturned = error == ERROR_SUCCESS ? returned : 0;
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return 0;
  }
  return 1;
}

BOOL CloseHandle(HANDLE handle) {
  Object removed;
  if (handle == INVALID_HANDLE_VALUE || !Handles().Remove(handle, removed)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (auto* device = std::get_if<DeviceObject>(&removed)) device->driver->Close();
  return 1;
}

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, const char* name) {
  std::shared_ptr<Event> event;
  if (name && *name) {
    std::lock_guard lock(Names().mutex);
    auto& slot = Names().events[name];
    event = slot.lock();
    if (!event) {
      event = std::make_shared<Event>();
      event->manualReset = manualReset != 0;
      event->signalled = initialState != 0;
      slot = event;
    }
  } else {
    event = std::make_shared<Event>();
    event->manualReset = manualReset != 0;
    event->signalled = initialState != 0;
  }
  SetLastError(ERROR_SUCCESS);
  return Handles().Add(std::move(event));
}

HANDLE OpenEventA(DWORD, BOOL, const char* name) {
  std::shared_ptr<Event> event;
  if (name) {
    std::lock_guard lock(Names().mutex);
    auto it = Names().events.find(name);
    if (it != Names().events.end()) event = it->second.lock();
  }
  if (!event) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return Handles().Add(std::move(event));
}

BOOL SetEvent(HANDLE handle) {
  auto event = Handles().EventOf(handle);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  {
    std::lock_guard lock(event->mutex);
    event->signalled = true;
  }
  if (event->manualReset)
    event->cv.notify_all();
  else
    event->cv.notify_one();
  return 1;
}

BOOL ResetEvent(HANDLE handle) {
  auto event = Handles().EventOf(handle);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  std::lock_guard lock(event->mutex);
  event->signalled = false;
  return 1;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto event = Handles().EventOf(handle);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  std::unique_lock lock(event->mutex);
  auto ready = [&] { return event->signalled; };
  if (milliseconds == INFINITE) {
    event->cv.wait(lock, ready);
  } else if (!event->cv.wait_for(lock, std::chrono::milliseconds(milliseconds), ready)) {
    return WAIT_TIMEOUT;
  }
  if (!event->manualReset) event->signalled = false;
  return WAIT_OBJECT_0;
}
