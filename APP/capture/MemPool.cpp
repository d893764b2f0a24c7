#include "APP/capture/MemPool.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>

#include "imaging/pixelutil.h"

namespace {

// The line "MemAvailable:   123 kB" of /proc/meminfo, and its number.
constexpr std::string_view MemAvailableKey = "MemAvailable:";

std::optional<std::uint64_t> ParseNumber(std::string_view text) {
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [rest, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || rest == text.data()) return std::nullopt;
  return value;
}

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\n");
  return text.substr(first, last - first + 1);
}

std::optional<std::string> ReadSystemFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return in.bad() ? std::nullopt : std::optional<std::string>(text.str());
}

TSystemFileReader& CurrentReader() {
  static TSystemFileReader reader;
  return reader;
}

// One cgroup hierarchy holding memory limits: where it is mounted and the
// names of its limit and usage files.
struct TCgroupHierarchy {
  const char* mount;
  const char* limitFile;
  const char* usageFile;
};

constexpr TCgroupHierarchy UnifiedHierarchy{"/sys/fs/cgroup", "memory.max", "memory.current"};
// The unified hierarchy beside v1 controllers (hybrid systems).
constexpr TCgroupHierarchy HybridUnifiedHierarchy{"/sys/fs/cgroup/unified", "memory.max",
                                                  "memory.current"};
constexpr TCgroupHierarchy MemoryControllerHierarchy{
    "/sys/fs/cgroup/memory", "memory.limit_in_bytes", "memory.usage_in_bytes"};

// Bytes left under the limits of the cgroup at path and of every cgroup above
// it in one hierarchy; folders without a limit file are passed over.
std::uint64_t CgroupHeadroom(const TSystemFileReader& read, const TCgroupHierarchy& hierarchy,
                             std::string_view path) {
  std::uint64_t headroom = UINT64_MAX;
  // "/a/b", then "/a", then "" (the hierarchy's root).
  std::string_view level = path == "/" ? std::string_view() : path;
  for (;;) {
    std::string folder(hierarchy.mount);
    folder.append(level).append(1, '/');
    const auto limitText = read(folder + hierarchy.limitFile);
    const auto limit = limitText ? ParseCgroupBytes(*limitText) : std::nullopt;
    if (limit) {
      const auto usageText = read(folder + hierarchy.usageFile);
      const std::uint64_t usage = usageText ? ParseCgroupBytes(*usageText).value_or(0) : 0;
      headroom = std::min(headroom, *limit > usage ? *limit - usage : 0);
    }
    if (level.empty()) return headroom;
    level = level.substr(0, level.rfind('/'));
  }
}

// Whether the comma-separated list holds name.
bool Lists(std::string_view list, std::string_view name) {
  while (!list.empty()) {
    const auto comma = list.find(',');
    if (list.substr(0, comma) == name) return true;
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
  }
  return false;
}

// The memory headroom of the cgroups that /proc/self/cgroup names: the
// unified line "0::path" and the v1 line whose controllers include "memory".
std::uint64_t CgroupsHeadroom(const TSystemFileReader& read, std::string_view membership) {
  std::uint64_t headroom = UINT64_MAX;
  while (!membership.empty()) {
    const auto end = membership.find('\n');
    const std::string_view line = membership.substr(0, end);
    membership = end == std::string_view::npos ? std::string_view() : membership.substr(end + 1);
    const auto first = line.find(':');
    const auto second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (second == std::string_view::npos) continue;
    const std::string_view controllers = line.substr(first + 1, second - first - 1);
    const std::string_view path = line.substr(second + 1);
    if (path.empty() || path.front() != '/') continue;
    if (controllers.empty()) {
      for (const TCgroupHierarchy* h : {&UnifiedHierarchy, &HybridUnifiedHierarchy})
        headroom = std::min(headroom, CgroupHeadroom(read, *h, path));
    } else if (Lists(controllers, "memory")) {
      headroom = std::min(headroom, CgroupHeadroom(read, MemoryControllerHierarchy, path));
    }
  }
  return headroom;
}

TPagePreparer& CurrentPreparer() {
  static TPagePreparer preparer;
  return preparer;
}

bool PreparePages(void* block, std::size_t offset, std::size_t length) {
  const TPagePreparer& preparer = CurrentPreparer();
  return preparer ? preparer(block, offset, length) : ImagePrepare(block, offset, length) != 0;
}

std::uint64_t SystemHeadroom() {
  const TSystemFileReader& reader = CurrentReader();
  return MemoryHeadroom(reader ? reader : TSystemFileReader(ReadSystemFile));
}

}  // namespace

std::optional<std::uint64_t> ParseMemAvailable(std::string_view meminfo) {
  for (std::size_t at = meminfo.find(MemAvailableKey); at != std::string_view::npos;
       at = meminfo.find(MemAvailableKey, at + 1)) {
    if (at != 0 && meminfo[at - 1] != '\n') continue;
    std::string_view rest = meminfo.substr(at + MemAvailableKey.size());
    rest = Trimmed(rest.substr(0, rest.find('\n')));
    const auto digits = rest.find_first_not_of("0123456789");
    const auto kilobytes = ParseNumber(rest);
    if (!kilobytes || digits == std::string_view::npos || Trimmed(rest.substr(digits)) != "kB" ||
        *kilobytes > UINT64_MAX / 1024)
      return std::nullopt;
    return *kilobytes * 1024;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> ParseCgroupBytes(std::string_view text) {
  text = Trimmed(text);
  const auto value = ParseNumber(text);
  if (!value || text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  return value;
}

std::uint64_t MemoryHeadroom(const TSystemFileReader& read) {
  std::uint64_t headroom = UINT64_MAX;
  if (const auto meminfo = read("/proc/meminfo"))
    headroom = ParseMemAvailable(*meminfo).value_or(UINT64_MAX);
  if (const auto membership = read("/proc/self/cgroup"))
    headroom = std::min(headroom, CgroupsHeadroom(read, *membership));
  return headroom;
}

TSystemFileReader SetSystemFileReader(TSystemFileReader reader) {
  TSystemFileReader previous = std::move(CurrentReader());
  CurrentReader() = std::move(reader);
  return previous;
}

TPagePreparer SetPagePreparer(TPagePreparer preparer) {
  TPagePreparer previous = std::move(CurrentPreparer());
  CurrentPreparer() = std::move(preparer);
  return previous;
}

TBlockAllocator SystemBlockAllocator() {
  return {ImageReserve, [](void* block) { ImageFree(block); }, SystemHeadroom, PreparePages};
}

TMemPool::TMemPool(TBlockAllocator allocator) : allocator_(allocator) {}

TMemPool::TMemPool(std::int32_t count, std::uint64_t size, TBlockAllocator allocator)
    : allocator_(allocator) {
  if (!Alloc(count, size)) Clear();
}

bool TMemPool::Alloc(std::int32_t count, std::uint64_t size) {
  if (count <= 0 || count > MaxBlocks || size == 0 ||
      size > std::numeric_limits<std::size_t>::max())
    return false;
  Clear();
  if (allocator_.Headroom != nullptr) {
    const std::uint64_t headroom = allocator_.Headroom();
    const std::uint64_t free = headroom > PoolMemoryReserve ? headroom - PoolMemoryReserve : 0;
    if (size > free / static_cast<std::uint64_t>(count)) return false;
  }
  for (std::int32_t i = 0; i < count; ++i) {
    void* block = allocator_.Allocate(static_cast<std::size_t>(size));
    if (block == nullptr) return false;
    Blocks_[static_cast<std::size_t>(i)] = block;
    Count_ = i + 1;
  }
  return true;
}

void TMemPool::Clear() {
  for (std::int32_t i = Count_ - 1; i >= 0; --i) {
    allocator_.Free(Blocks_[static_cast<std::size_t>(i)]);
    Blocks_[static_cast<std::size_t>(i)] = nullptr;
  }
  Count_ = 0;
}

bool TMemPool::Prepare(std::int32_t i, std::uint64_t offset, std::uint64_t length) const {
  void* block = GetBlock(i);
  if (block == nullptr) return false;
  return allocator_.Prepare == nullptr ||
         allocator_.Prepare(block, static_cast<std::size_t>(offset),
                            static_cast<std::size_t>(length));
}

void* TMemPool::GetBlock(std::int32_t i) const {
  return i >= 0 && i < Count_ ? Blocks_[static_cast<std::size_t>(i)] : nullptr;
}
