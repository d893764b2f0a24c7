// The memory primitives. ImageAlloc stands for GlobalAlloc with
// GMEM_FIXED: one fixed block, or null when memory cannot be had. On Linux
// malloc does not fail (overcommit) and a shortage would kill the process at
// first use, so the block is mapped with MAP_POPULATE: its pages are there
// when ImageAlloc returns (the 64 MiB colour-correction object included).
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/pixelutil.h"

namespace {

// A header before the block keeps the mapping's length; it is 64 bytes so
// the block stays 64-byte aligned.
constexpr size_t kHeader = 64;

}  // namespace

extern "C" void* ImageAlloc(size_t size) {
  if (size > SIZE_MAX - kHeader) return nullptr;
  const size_t length = size + kHeader;
  void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (base == MAP_FAILED) return nullptr;
  std::memcpy(base, &length, sizeof length);
  return static_cast<uint8_t*>(base) + kHeader;
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
