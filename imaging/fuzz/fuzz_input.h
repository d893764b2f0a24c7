// The shape of every imaging fuzz input: a little-endian u16 width, a u16
// height and a u8 selector, then the bytes the function under test reads.
// Sizes are kept small enough that a frame's buffers stay near a megabyte,
// so the fuzzer spends its time on the bytes, not on allocation.
#ifndef IMAGING_FUZZ_INPUT_H
#define IMAGING_FUZZ_INPUT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace imaging_fuzz {

constexpr size_t kHeaderBytes = 5;
constexpr int64_t kMaxSamples = 1 << 20;

struct Input {
  int32_t width = 0;
  int32_t height = 0;
  uint8_t selector = 0;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
};

// false when the input is too short to hold the header.
inline bool Parse(const uint8_t* data, size_t size, Input& in) {
  if (size < kHeaderBytes) return false;
  in.width = data[0] | data[1] << 8;
  in.height = data[2] | data[3] << 8;
  in.selector = data[4];
  in.bytes = data + kHeaderBytes;
  in.size = size - kHeaderBytes;
  // Wide frames stay wide; the height gives way to the sample budget.
  if (in.width > 0)
    in.height = static_cast<int32_t>(std::min<int64_t>(in.height, kMaxSamples / in.width));
  return true;
}

// The input's bytes in a buffer of exactly n bytes (zeros past the input),
// so that the sanitizer sees every read past the buffer the caller owns.
inline std::vector<uint8_t> Exactly(const Input& in, size_t n) {
  std::vector<uint8_t> v(n, 0);
  if (const size_t k = std::min(n, in.size)) std::memcpy(v.data(), in.bytes, k);
  return v;
}

// A seed input: header then payload.
inline std::vector<uint8_t> Seed(int32_t width, int32_t height, uint8_t selector,
                                 const uint8_t* payload, size_t n) {
  std::vector<uint8_t> v = {static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
                            static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8),
                            selector};
  v.insert(v.end(), payload, payload + n);
  return v;
}

}  // namespace imaging_fuzz

#endif
