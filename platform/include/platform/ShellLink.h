// A shell link (.lnk file) writer: the target, description, working directory
// and arguments of one shortcut, saved in the shell-link binary format that
// Windows shells read.
//
// Strings come in as UTF-8 and are stored as UTF-16. The target is stored as an
// absolute path (made absolute against the current directory when it is set;
// symbolic links are not resolved); its attributes, size and times are read
// from the file system at the same moment (all 0 when it does not exist).
#ifndef PLATFORM_SHELLLINK_H
#define PLATFORM_SHELLLINK_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// UTF-8 to UTF-16. Returns nothing for malformed UTF-8 (bad sequences,
// overlong forms, surrogates, values above U+10FFFF).
std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8);

class ShellLink {
 public:
  // Why a setter kept its old value.
  enum class Status { Ok, InvalidUtf8, TooLong, Empty, NoCurrentFolder };

  // Strings of the string-data section carry a 16-bit character count.
  static constexpr std::size_t kMaxStringUnits = 0xFFFF;

  Status SetPath(std::string_view utf8);
  Status SetDescription(std::string_view utf8);
  Status SetArguments(std::string_view utf8);
  Status SetWorkingDirectory(std::string_view utf8);

  // The file's bytes as Save writes them.
  std::vector<std::uint8_t> Bytes() const;

  // Writes the link to `path` through a temporary file in the same folder that
  // is renamed over it, so a failed save leaves an older file whole. Returns
  // an empty string when saved, else why not.
  std::string Save(const std::string& path) const;

 private:
  // What the header says about the target.
  struct TargetInfo {
    std::uint32_t attributes = 0;
    std::uint32_t sizeLow = 0;
    std::uint64_t creationTime = 0;  // FILETIME: 100 ns since 1601-01-01 UTC
    std::uint64_t accessTime = 0;
    std::uint64_t writeTime = 0;
  };
  static TargetInfo ReadTargetInfo(const std::string& path);

  std::string pathAnsi_;  // the target, one '?' for each non-ASCII character
  std::u16string path_;
  TargetInfo target_;
  std::u16string description_;
  std::optional<std::u16string> workingDirectory_;
  std::optional<std::u16string> arguments_;
};

const char* ShellLinkStatusText(ShellLink::Status status);

}  // namespace platform

#endif
