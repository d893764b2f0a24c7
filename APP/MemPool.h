// The memory pool: a fixed table of equally sized memory blocks, allocated
// together, for one RAW capture's frame pool.
//
// Each block is one fixed (non-movable) allocation whose pages are there when
// it is handed out, so that a shortage shows as a failed pool up front and
// not as a killed process in the middle of a capture. A pool whose blocks
// cannot all be allocated holds none.
#ifndef APP_MEMPOOL_H
#define APP_MEMPOOL_H

#include <array>
#include <cstddef>
#include <cstdint>

// How the blocks are obtained and returned; tests replace it to make a given
// allocation fail.
struct TBlockAllocator {
  void* (*Allocate)(std::size_t size);  // null when the memory cannot be had
  void (*Free)(void* block);
};

// Fixed blocks from the image library's allocator (pages populated at once).
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
  // MaxBlocks blocks, none, or blocks of 0 bytes are refused before anything
  // is allocated.
  bool Alloc(std::int32_t count, std::uint64_t size);
  // Frees every block, the last first.
  void Clear();

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
