// Test helpers that read shell-link files back: through the independent tool
// `lnkinfo` (package liblnk-utils) and through the bytes.
//
// Debian 12's lnkinfo prints the file size in its "Show Window value" and
// "Hot Key value" lines and fails on a zero-length string, so tests check those
// fields in the bytes.
#ifndef PLATFORM_TESTS_LNKINFOREADER_H
#define PLATFORM_TESTS_LNKINFOREADER_H

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace lnktest {

// What lnkinfo printed: "name : value" lines by name, the other indented
// lines (flag descriptions) as they stand, and its exit status.
struct LnkInfo {
  std::map<std::string, std::string> fields;
  std::set<std::string> flagLines;
  int exitStatus = -1;
};

inline std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

inline LnkInfo RunLnkInfo(const std::string& path) {
  LnkInfo info;
  const std::string command = "lnkinfo '" + path + "' 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe) return info;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe.get())) {
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (text.empty() || text[0] != '\t') continue;
    const auto colon = text.find(": ");
    if (colon == std::string::npos) {
      info.flagLines.insert(Trim(text));
    } else {
      info.fields[Trim(text.substr(0, colon))] = text.substr(colon + 2);
    }
  }
  const int status = ::pclose(pipe.release());
  info.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return info;
}

// A time as lnkinfo prints it: "Dec 09, 2026 08:11:47.075817100 UTC", at
// FILETIME's resolution of 100 ns.
inline std::string LnkInfoTime(const struct statx_timestamp& t) {
  const std::time_t seconds = t.tv_sec;
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  char date[64], text[96];
  std::strftime(date, sizeof date, "%b %d, %Y %H:%M:%S", &utc);
  std::snprintf(text, sizeof text, "%s.%09u UTC", date, t.tv_nsec / 100 * 100);
  return text;
}

inline struct statx StatX(const std::string& path) {
  struct statx st {};
  ::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &st);
  return st;
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t U32At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  if (offset + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

inline std::uint16_t U16At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  std::uint16_t value = 0;
  if (offset + 2 <= bytes.size()) std::memcpy(&value, bytes.data() + offset, 2);
  return value;
}

// Header fields lnkinfo misprints.
constexpr std::size_t kShowCommandOffset = 60;
constexpr std::size_t kHotKeyOffset = 64;

// The counted UTF-16 strings of the string-data section, in file order.
inline std::vector<std::u16string> StringData(const std::vector<std::uint8_t>& bytes) {
  constexpr std::size_t kHeaderSize = 76;
  std::vector<std::u16string> strings;
  std::size_t offset = kHeaderSize + U32At(bytes, kHeaderSize);  // after LinkInfo
  while (offset + 2 <= bytes.size() - 4) {
    const std::uint16_t count = U16At(bytes, offset);
    std::u16string text;
    for (std::size_t i = 0; i < count; ++i)
      text += static_cast<char16_t>(U16At(bytes, offset + 2 + 2 * i));
    strings.push_back(text);
    offset += 2 + 2 * std::size_t{count};
  }
  return strings;
}

}  // namespace lnktest

#endif
