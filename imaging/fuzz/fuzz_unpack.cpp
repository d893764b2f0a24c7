// The four packed-sample unpackers (selector mod 4: 10-bit, 12-bit, 10-bit to
// 8 bits in place, 12-bit to 8 bits in place), each on a source of exactly
// the packed frame's size and a destination of exactly width x height.
#include <cstdint>
#include <vector>

#include "imaging.h"
#include "imaging/fuzz/fuzz_input.h"

namespace {

int64_t PackedBytes(int selector, int32_t width, int32_t height) {
  const int64_t row = selector % 2 == 0 ? static_cast<int64_t>(width) * 10 / 8
                                        : static_cast<int64_t>(width) * 3 / 2;
  return row * height;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  imaging_fuzz::Input in;
  if (!imaging_fuzz::Parse(data, size, in)) return 0;
  const int selector = in.selector % 4;
  const int64_t samples = static_cast<int64_t>(in.width) * in.height;
  std::vector<uint8_t> src =
      imaging_fuzz::Exactly(in, static_cast<size_t>(PackedBytes(selector, in.width, in.height)));
  if (selector < 2) {
    std::vector<uint16_t> dst(static_cast<size_t>(samples));
    if (selector == 0)
      Unpack10Bit(src.data(), in.width, in.height, dst.data());
    else
      Unpack12Bit(src.data(), in.width, in.height, dst.data());
    return 0;
  }
  // In place: the buffer holds the packed frame and the unpacked one.
  if (src.size() < static_cast<size_t>(samples)) src.resize(static_cast<size_t>(samples));
  if (selector == 2)
    Unpack10BitTo8Bit(src.data(), in.width, in.height);
  else
    Unpack12BitTo8Bit(src.data(), in.width, in.height);
  return 0;
}
