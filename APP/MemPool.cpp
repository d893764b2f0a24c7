#include "MemPool.h"

#include <limits>

#include "imaging/pixelutil.h"

TBlockAllocator SystemBlockAllocator() {
  return {ImageAlloc, [](void* block) { ImageFree(block); }};
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

void* TMemPool::GetBlock(std::int32_t i) const {
  return i >= 0 && i < Count_ ? Blocks_[static_cast<std::size_t>(i)] : nullptr;
}
