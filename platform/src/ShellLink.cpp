// Shell-link files: a fixed header, the target's location (LinkInfo), the
// UTF-16 strings and the terminal block, all little-endian.
#include "platform/ShellLink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/fdwrite.h"
#include "platform/handle.h"
#include "platform/newfile.h"
#include "platform/utf8.h"

namespace platform {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the layouts below are written as they lie in memory");

// Link flags.
constexpr std::uint32_t kHasLinkInfo = 0x02;
constexpr std::uint32_t kHasName = 0x04;
constexpr std::uint32_t kHasWorkingDir = 0x10;
constexpr std::uint32_t kHasArguments = 0x20;
constexpr std::uint32_t kIsUnicode = 0x80;

constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeNormal = 0x80;
constexpr std::uint32_t kShowNormal = 1;
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x01;

// Seconds from 1601-01-01 (FILETIME's origin) to 1970-01-01.
constexpr std::int64_t kFileTimeEpochOffset = 11644473600;

#pragma pack(push, 1)
struct LinkHeader {
  std::uint32_t headerSize;
  std::array<std::uint8_t, 16> clsid;
  std::uint32_t linkFlags;
  std::uint32_t fileAttributes;
  std::uint64_t creationTime;
  std::uint64_t accessTime;
  std::uint64_t writeTime;
  std::uint32_t fileSize;
  std::int32_t iconIndex;
  std::uint32_t showCommand;
  std::uint16_t hotKey;
  std::uint16_t reserved1;
  std::uint32_t reserved2;
  std::uint32_t reserved3;
};
// LinkInfo header with the offsets of the Unicode strings.
struct LinkInfoHeader {
  std::uint32_t size;
  std::uint32_t headerSize;
  std::uint32_t flags;
  std::uint32_t volumeIdOffset;
  std::uint32_t localBasePathOffset;
  std::uint32_t commonNetworkRelativeLinkOffset;
  std::uint32_t commonPathSuffixOffset;
  std::uint32_t localBasePathOffsetUnicode;
  std::uint32_t commonPathSuffixOffsetUnicode;
};
struct VolumeId {
  std::uint32_t size;
  std::uint32_t driveType;
  std::uint32_t serialNumber;
  std::uint32_t labelOffset;
  char label[1];  // empty label: its terminator only
};
#pragma pack(pop)
static_assert(sizeof(LinkHeader) == 76 && offsetof(LinkHeader, creationTime) == 28 &&
              offsetof(LinkHeader, fileSize) == 52 && offsetof(LinkHeader, hotKey) == 64);
static_assert(sizeof(LinkInfoHeader) == 0x24);
static_assert(sizeof(VolumeId) == 0x11 && offsetof(VolumeId, label) == 0x10);

// CLSID 00021401-0000-0000-C000-000000000046 in its stored byte order.
constexpr std::array<std::uint8_t, 16> kShellLinkClsid = {
    0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

class ByteWriter {
 public:
  template <typename T>
  void Put(const T& value) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
    bytes_.insert(bytes_.end(), p, p + sizeof(T));
  }
  void PutUtf16(const std::u16string& text) {
    for (char16_t unit : text) Put(static_cast<std::uint16_t>(unit));
  }
  void PutCountedString(const std::u16string& text) {
    Put(static_cast<std::uint16_t>(text.size()));
    PutUtf16(text);
  }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

std::uint64_t ToFileTime(const struct statx_timestamp& t) {
  const std::int64_t seconds = t.tv_sec + kFileTimeEpochOffset;
  if (seconds < 0) return 0;
  return static_cast<std::uint64_t>(seconds) * 10000000u + t.tv_nsec / 100;
}

// One '?' per character outside ASCII, as an ANSI conversion without the
// character would give.
std::string ToAsciiWithQuestionMarks(const std::u16string& text) {
  std::string ascii;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool pairStart = unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size();
    if (pairStart) ++i;
    ascii += unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  return ascii;
}

ShellLink::Status ConvertString(std::string_view utf8, std::u16string& out) {
  auto text = Utf8ToUtf16(utf8);
  if (!text) return ShellLink::Status::InvalidUtf8;
  if (text->size() > ShellLink::kMaxStringUnits) return ShellLink::Status::TooLong;
  out = std::move(*text);
  return ShellLink::Status::Ok;
}

std::string ErrnoText(const char* what, const std::string& path) {
  return std::string(what) + " " + path + ": " + std::strerror(errno);
}

}  // namespace

std::optional<std::u16string> Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    const std::optional<char32_t> cp = DecodeUtf8(utf8, pos);
    if (!cp) return std::nullopt;
    if (*cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((*cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((*cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(*cp);
    }
  }
  return out;
}

const char* ShellLinkStatusText(ShellLink::Status status) {
  switch (status) {
    case ShellLink::Status::Ok: return "ok";
    case ShellLink::Status::InvalidUtf8: return "not valid UTF-8";
    case ShellLink::Status::TooLong:
      return "too long for a shortcut (more than 65535 UTF-16 units)";
    case ShellLink::Status::Empty: return "empty";
    case ShellLink::Status::NoCurrentFolder:
      return "relative, and the current folder cannot be read";
  }
  return "unknown";
}

ShellLink::TargetInfo ShellLink::ReadTargetInfo(const std::string& path) {
  TargetInfo info;
  struct statx st {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0) return info;
  info.attributes = S_ISDIR(st.stx_mode) ? kAttributeDirectory : kAttributeNormal;
  info.sizeLow = static_cast<std::uint32_t>(st.stx_size);
  if (st.stx_mask & STATX_BTIME) info.creationTime = ToFileTime(st.stx_btime);
  info.accessTime = ToFileTime(st.stx_atime);
  info.writeTime = ToFileTime(st.stx_mtime);
  return info;
}

ShellLink::Status ShellLink::SetPath(std::string_view utf8) {
  if (utf8.empty()) return Status::Empty;
  if (!Utf8ToUtf16(utf8)) return Status::InvalidUtf8;
  std::error_code error;
  const std::string absolute =
      std::filesystem::absolute(std::filesystem::path(utf8), error).string();
  if (error) return Status::NoCurrentFolder;
  auto text = Utf8ToUtf16(absolute);  // the current directory may itself not be UTF-8
  if (!text) return Status::InvalidUtf8;
  path_ = std::move(*text);
  pathAnsi_ = ToAsciiWithQuestionMarks(path_);
  target_ = ReadTargetInfo(absolute);
  return Status::Ok;
}

ShellLink::Status ShellLink::SetDescription(std::string_view utf8) {
  return ConvertString(utf8, description_);
}

ShellLink::Status ShellLink::SetArguments(std::string_view utf8) {
  std::u16string text;
  const Status status = ConvertString(utf8, text);
  if (status == Status::Ok) arguments_ = std::move(text);
  return status;
}

ShellLink::Status ShellLink::SetWorkingDirectory(std::string_view utf8) {
  std::u16string text;
  const Status status = ConvertString(utf8, text);
  if (status == Status::Ok) workingDirectory_ = std::move(text);
  return status;
}

std::vector<std::uint8_t> ShellLink::Bytes() const {
  LinkHeader header{};
  header.headerSize = sizeof(LinkHeader);
  header.clsid = kShellLinkClsid;
  header.linkFlags = kHasLinkInfo | kHasName | kIsUnicode |
                     (workingDirectory_ ? kHasWorkingDir : 0) | (arguments_ ? kHasArguments : 0);
  header.fileAttributes = target_.attributes;
  header.creationTime = target_.creationTime;
  header.accessTime = target_.accessTime;
  header.writeTime = target_.writeTime;
  header.fileSize = target_.sizeLow;
  header.showCommand = kShowNormal;

  // LinkInfo: header, volume, ANSI path and suffix, UTF-16 path and suffix
  // (both suffixes empty: only their terminators).
  LinkInfoHeader info{};
  info.headerSize = sizeof(LinkInfoHeader);
  info.flags = kVolumeIdAndLocalBasePath;
  info.volumeIdOffset = sizeof(LinkInfoHeader);
  info.localBasePathOffset = info.volumeIdOffset + sizeof(VolumeId);
  info.commonPathSuffixOffset =
      info.localBasePathOffset + static_cast<std::uint32_t>(pathAnsi_.size() + 1);
  info.localBasePathOffsetUnicode = info.commonPathSuffixOffset + 1;
  info.commonPathSuffixOffsetUnicode =
      info.localBasePathOffsetUnicode + static_cast<std::uint32_t>(2 * (path_.size() + 1));
  info.size = info.commonPathSuffixOffsetUnicode + 2;
  const VolumeId volume{sizeof(VolumeId), kDriveFixed, 0, offsetof(VolumeId, label), {0}};

  ByteWriter out;
  out.Put(header);
  out.Put(info);
  out.Put(volume);
  for (char c : pathAnsi_) out.Put(c);
  out.Put('\0');
  out.Put('\0');
  out.PutUtf16(path_);
  out.Put(std::uint16_t{0});
  out.Put(std::uint16_t{0});
  // String data in the format's order: name, working directory, arguments.
  out.PutCountedString(description_);
  if (workingDirectory_) out.PutCountedString(*workingDirectory_);
  if (arguments_) out.PutCountedString(*arguments_);
  out.Put(std::uint32_t{0});  // terminal block
  return out.Take();
}

std::string ShellLink::Save(const std::string& path) const {
  if (path.empty()) return "no file name";
  std::string tempPath;
  UniqueFd file = CreateTemporaryBeside(path.c_str(), tempPath);
  if (!file) return ErrnoText("cannot create", tempPath);
  const std::vector<std::uint8_t> bytes = Bytes();
  const bool written =
      WriteFully(file.get(), bytes.data(), bytes.size()) && ::fsync(file.get()) == 0;
  std::string why;
  if (!written) why = ErrnoText("cannot write", tempPath);
  if (!file.close() && why.empty()) why = ErrnoText("cannot close", tempPath);
  if (why.empty() && ::rename(tempPath.c_str(), path.c_str()) != 0)
    why = ErrnoText("cannot replace", path);
  if (!why.empty()) ::unlink(tempPath.c_str());
  return why;
}

}  // namespace platform
