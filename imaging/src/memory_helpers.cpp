// The memory primitives. ImageAlloc stands for GlobalAlloc with
// GMEM_FIXED: one fixed block, or null when memory cannot be had. On Linux
// malloc does not fail (overcommit) and a shortage would kill the process at
// first use, so the block's pages are faulted in (MADV_POPULATE_WRITE) before
// ImageAlloc returns, and a block whose pages cannot be had is refused (the
// 64 MiB colour-correction object included).
// Large blocks are placed on 2 MiB boundaries and asked for huge pages: the
// colour cube is read at random places per pixel, and with 4 KiB pages most
// of those reads would miss the TLB.
// ImageReserve gives a block of the same kind whose pages are made ready
// later, piece by piece, through ImagePrepare: a large pool is then usable at
// once while the rest of its pages are made ready elsewhere.
#include <sys/mman.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/pixelutil.h"

namespace {

// A header before the block keeps the mapping's length; it is 64 bytes so
// the block stays 64-byte aligned.
constexpr size_t kHeader = 64;
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kHugeBlockMinimum = size_t{8} << 20;
constexpr size_t kPage = 4096;

// Faults every page of [p, p + length) in, so that a shortage shows now;
// false when the pages cannot be had.
bool Populate(void* p, size_t length) {
#ifdef MADV_POPULATE_WRITE
  for (;;) {
    if (madvise(p, length, MADV_POPULATE_WRITE) == 0) return true;
    if (errno == EINTR || errno == EAGAIN) continue;
    // Only a kernel without the advice leaves the pages to be touched: after
    // a shortage, touching them would get the process killed.
    if (errno != EINVAL) return false;
    break;
  }
#endif
  // Older kernels: write to one byte per page without changing it (the
  // pages may hold data already, written by another thread).
  uint8_t* bytes = static_cast<uint8_t*>(p);
  for (size_t i = 0; i < length; i += kPage) __atomic_fetch_or(bytes + i, 0, __ATOMIC_RELAXED);
  return true;
}

// A mapping of `length` bytes on a 2 MiB boundary with huge pages asked
// for, or null.
void* MapHuge(size_t length) {
  if (length > SIZE_MAX - kHugePage) return nullptr;
  const size_t reserved = length + kHugePage;
  void* raw = mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t{kHugePage} - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const uintptr_t end = start + reserved, used = aligned + length;
  if (end > used) munmap(reinterpret_cast<void*>(used), end - used);
  void* base = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  madvise(base, length, MADV_HUGEPAGE);
#endif
  if (Populate(base, length)) return base;
  munmap(base, length);
  return nullptr;
}

// Keeps the mapping's length in the header before the block: the header's
// page is the one page touched.
void* Labelled(void* base, size_t length) {
  std::memcpy(base, &length, sizeof length);
  return static_cast<uint8_t*>(base) + kHeader;
}

}  // namespace

extern "C" void* ImageReserve(size_t size) {
  if (size > SIZE_MAX - kHeader) return nullptr;
  const size_t length = size + kHeader;
  void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return base == MAP_FAILED ? nullptr : Labelled(base, length);
}

extern "C" int ImagePrepare(void* block, size_t offset, size_t length) {
  if (length == 0) return 1;
  uint8_t* base = static_cast<uint8_t*>(block) - kHeader;
  size_t mapped;
  std::memcpy(&mapped, base, sizeof mapped);
  const size_t begin = offset + kHeader;
  assert(begin <= mapped && length <= mapped - begin);
  // Whole pages: from the page holding the first byte to the one holding the
  // last.
  const size_t first = begin & ~(kPage - 1);
  const size_t end = std::min(mapped, (begin + length + kPage - 1) & ~(kPage - 1));
  return Populate(base + first, end - first) ? 1 : 0;
}

extern "C" void* ImageAlloc(size_t size) {
  if (size > SIZE_MAX - kHeader) return nullptr;
  const size_t length = size + kHeader;
  void* base = nullptr;
  if (length >= kHugeBlockMinimum) {
    base = MapHuge(length);
  } else {
    base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) {
      base = nullptr;
    } else if (!Populate(base, length)) {
      munmap(base, length);
      base = nullptr;
    }
  }
  if (base == nullptr) return nullptr;
  return Labelled(base, length);
}

extern "C" void* ImageFree(void* block) {
  if (block == nullptr) return nullptr;
  void* base = static_cast<uint8_t*>(block) - kHeader;
  size_t length;
  std::memcpy(&length, base, sizeof length);
  return munmap(base, length) == 0 ? nullptr : block;
}

extern "C" void ZeroBytes(void* p, uint32_t count) {
  if (count != 0) std::memset(p, 0, count);
}

extern "C" void CopyBytes(void* dst, const void* src, uint32_t count) {
  uint8_t* d = static_cast<uint8_t*>(dst);
  const uint8_t* s = static_cast<const uint8_t*>(src);
  const uintptr_t di = reinterpret_cast<uintptr_t>(d);
  const uintptr_t si = reinterpret_cast<uintptr_t>(s);
  if (di <= si || di - si >= count) {
    // No overlap, or the destination below the source: a forward byte copy
    // gives what memmove gives.
    if (count != 0) std::memmove(d, s, count);
    return;
  }
  // Destination above the source inside it: one byte at a time upward, so
  // the copy repeats the source's first di - si bytes, as a byte loop does.
  for (uint32_t i = 0; i < count; ++i) {
    d[i] = s[i];
    __asm__ volatile("" ::: "memory");  // keep the loop a forward byte loop
  }
}
