// Writing a whole buffer to an open file descriptor, at its position or at
// a given offset.
#ifndef PLATFORM_FDWRITE_H
#define PLATFORM_FDWRITE_H

#include <cstdint>

namespace platform {

// Writes `size` bytes to the file descriptor at its current position.
// Partial writes and interrupted calls are continued; false when the file
// refuses bytes (disk full, I/O error), with errno telling why.
bool WriteFully(int file, const void* data, std::uint64_t size);
// The same at the file offset `offset`, leaving the file position as it is.
bool WriteFullyAt(int file, const void* data, std::uint64_t size, std::uint64_t offset);

}  // namespace platform

#endif
