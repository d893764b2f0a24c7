// Writing a whole buffer to an open file descriptor.
#ifndef PLATFORM_FDWRITE_H
#define PLATFORM_FDWRITE_H

#include <cstdint>

namespace platform {

// Writes `size` bytes to the file descriptor at its current position.
// Partial writes and interrupted calls are continued; false when the file
// refuses bytes (disk full, I/O error), with errno telling why.
bool WriteFully(int file, const void* data, std::uint64_t size);

}  // namespace platform

#endif
