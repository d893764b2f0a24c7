// A small Win32-shaped layer: the kernel services whose semantics the camera
// software depends on (handles, the thread's last-error code, devices opened
// by path and driven by I/O-control requests, named events).
//
// Devices are provided by drivers registered in-process (the simulated camera,
// test fakes); a path of the form "\\.\NAME" opens the driver registered as
// NAME.
//
// The one part of the platform layer outside namespace platform: these are
// the system interface's own names (HANDLE, DWORD, CreateFileA, ...), which
// the driver interface's declarations and its callers use unqualified.
#ifndef PLATFORM_WIN32_H
#define PLATFORM_WIN32_H

#include <cstdint>

using DWORD = std::uint32_t;
using BOOL = std::int32_t;
using HANDLE = void*;

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

// Error codes used by the system.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_READ_FAULT = 30;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_IO_DEVICE = 1117;

// CreateFileA arguments.
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 1;
constexpr DWORD FILE_SHARE_WRITE = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// Waits.
constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD EVENT_ALL_ACCESS = 0x1F0003;
constexpr DWORD SYNCHRONIZE = 0x00100000;
constexpr DWORD EVENT_MODIFY_STATE = 0x0002;

// The calling thread's last-error code.
DWORD GetLastError();
void SetLastError(DWORD error);

void Sleep(DWORD milliseconds);

// Devices. Only device paths ("\\.\NAME") are served; any other path, or a
// name with no registered driver, fails with ERROR_FILE_NOT_FOUND.
HANDLE CreateFileA(const char* path, DWORD access, DWORD shareMode, void* security, DWORD creation,
                   DWORD flags, HANDLE templateFile);
BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                     DWORD* bytesReturned, void* overlapped);
// Closes a device or event handle; an unknown handle fails with
// ERROR_INVALID_PARAMETER.
BOOL CloseHandle(HANDLE handle);

// Events, optionally named. A name already in use returns a new handle to the
// existing event (its reset mode and state stay as they are).
HANDLE CreateEventA(void* security, BOOL manualReset, BOOL initialState, const char* name);
// Opens an existing named event; fails with ERROR_FILE_NOT_FOUND when none
// exists.
HANDLE OpenEventA(DWORD access, BOOL inherit, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// WAIT_OBJECT_0 when the event is signalled (an auto-reset event is reset by
// the wait that it releases), WAIT_TIMEOUT after the timeout, WAIT_FAILED for
// a handle that is not an event.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

#endif
