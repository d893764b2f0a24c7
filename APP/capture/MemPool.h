// The memory pool: a fixed table of equally sized memory blocks, allocated
// together, for one RAW capture's frame pool.
//
// Each block is one fixed (non-movable) allocation. A pool is checked against
// the memory the process may still take before any of its pages is touched,
// so that a shortage shows as a failed pool up front and not as a killed
// process in the middle of a capture; the pages themselves are made ready
// afterwards (Prepare), piece by piece, where and when the user of the pool
// chooses, so that a large pool costs nothing at its start. A pool whose
// blocks cannot all be allocated holds none.
#ifndef APP_MEMPOOL_H
#define APP_MEMPOOL_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// --- The memory the process may still take ---------------------------------------
//
// Populating pages beyond what the system or the process's control group
// (cgroup) grants gets the process killed instead of failing, so a pool is
// checked against this headroom before any of its pages are touched.

// The text of a small system file (/proc, /sys); nullopt when it cannot be
// read.
using TSystemFileReader = std::function<std::optional<std::string>(const std::string& path)>;

// "MemAvailable:" of /proc/meminfo in bytes; nullopt when missing.
std::optional<std::uint64_t> ParseMemAvailable(std::string_view meminfo);
// A cgroup memory file's byte count (memory.max, memory.current,
// memory.limit_in_bytes, memory.usage_in_bytes); nullopt for "max" (no
// limit) and for anything that is not a number.
std::optional<std::uint64_t> ParseCgroupBytes(std::string_view text);
// Bytes the process may still take: MemAvailable, lowered to what is left
// under the memory limit of its cgroup and of every cgroup above it (v2 and
// v1 hierarchies). A cgroup's usage counts its page cache too, so the check
// errs on the safe side. UINT64_MAX when nothing is known.
std::uint64_t MemoryHeadroom(const TSystemFileReader& read);
// Replaces how SystemBlockAllocator's check reads the system files (tests;
// null: the real files) and returns the reader it replaced.
TSystemFileReader SetSystemFileReader(TSystemFileReader reader);

// How SystemBlockAllocator makes pages ready: a test slows it down or makes
// it fail. Null: the image library's ImagePrepare. Returns the one it
// replaced; set only while no pool exists.
using TPagePreparer = std::function<bool(void* block, std::size_t offset, std::size_t length)>;
TPagePreparer SetPagePreparer(TPagePreparer preparer);

// Memory left to the rest of the program: a pool must leave this much of
// the headroom free.
inline constexpr std::uint64_t PoolMemoryReserve = std::uint64_t{32} << 20;

// --- Blocks --------------------------------------------------------------------------

// How the blocks are obtained and returned; tests replace it to make a given
// allocation fail.
struct TBlockAllocator {
  void* (*Allocate)(std::size_t size);  // null when the memory cannot be had
  void (*Free)(void* block);
  // Bytes the blocks may take in all; null: unchecked.
  std::uint64_t (*Headroom)() = nullptr;
  // Makes the pages of bytes [offset, offset + length) of a block ready;
  // false when the system cannot give them. Null: blocks are ready when
  // allocated.
  bool (*Prepare)(void* block, std::size_t offset, std::size_t length) = nullptr;
};

// Fixed blocks from the image library's allocator, their pages made ready
// through Prepare, checked against MemoryHeadroom of the system files.
TBlockAllocator SystemBlockAllocator();

class TMemPool {
 public:
  static constexpr std::int32_t MaxBlocks = 1024;

  // An empty pool.
  explicit TMemPool(TBlockAllocator allocator = SystemBlockAllocator());
  // count blocks of size bytes; on any failure the pool is left empty.
  TMemPool(std::int32_t count, std::uint64_t size,
           TBlockAllocator allocator = SystemBlockAllocator());
  ~TMemPool() { Clear(); }
  TMemPool(const TMemPool&) = delete;
  TMemPool& operator=(const TMemPool&) = delete;

  // Frees any blocks held, then allocates blocks 0, 1, ... in order,
  // counting each; stops at the first failure and returns false. More than
  // MaxBlocks blocks, none, blocks of 0 bytes, or blocks that would not leave
  // PoolMemoryReserve of the allocator's headroom are refused before
  // anything is allocated.
  bool Alloc(std::int32_t count, std::uint64_t size);
  // Frees every block, the last first.
  void Clear();

  // Makes the pages of bytes [offset, offset + length) of block i ready
  // (may be called from any thread while the pool stands); false when the
  // system cannot give them.
  bool Prepare(std::int32_t i, std::uint64_t offset, std::uint64_t length) const;
  // Block i for 0 <= i < Count(), otherwise null.
  void* GetBlock(std::int32_t i) const;
  bool IsValid() const { return Count_ > 0; }
  std::int32_t Count() const { return Count_; }

 private:
  TBlockAllocator allocator_;
  std::int32_t Count_ = 0;
  std::array<void*, MaxBlocks> Blocks_{};
};

#endif
