// Careful access to system files (procfs, sysfs, distribution files): only
// regular files of bounded size are read, so that a FIFO or a device in their
// place neither blocks nor floods; directory listings report whether they
// reached their end.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qdvsetup {

// Largest file read; procfs reports size 0, so the limit is applied while reading.
inline constexpr std::size_t kMaxFileSize = std::size_t{16} << 20;

// The contents of a regular file of at most kMaxFileSize bytes; nothing when
// it is missing, of another kind, larger or cannot be read to its end.
std::optional<std::string> readFile(const std::filesystem::path& path);

enum class ListingState {
  Listed,   // every entry was read
  Missing,  // no such directory
  Failed,   // not a directory, not readable, or an error before the end
};

struct DirectoryListing {
  ListingState state = ListingState::Failed;
  std::vector<std::string> names;  // sorted, without "." and ".."
};

DirectoryListing listDirectory(const std::filesystem::path& path);

// The path with every link resolved; nothing for a dangling link or a loop.
std::optional<std::filesystem::path> resolvePath(const std::filesystem::path& path);

// Whether a directory (or a link to one) stands at path.
bool isDirectory(const std::filesystem::path& path);

// Whether anything, even a dangling link, stands at path.
bool isPresent(const std::filesystem::path& path);

}  // namespace qdvsetup
