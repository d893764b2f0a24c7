// DecodeCompressedLines on hostile records: the source is exactly the input's
// bytes and the frame exactly width x height, so any read or write outside
// them is a sanitizer report.
#include <cstdint>
#include <vector>

#include "imaging.h"
#include "imaging/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  imaging_fuzz::Input in;
  if (!imaging_fuzz::Parse(data, size, in)) return 0;
  const std::vector<uint8_t> src(in.bytes, in.bytes + in.size);
  std::vector<uint8_t> frame(static_cast<size_t>(in.width) * in.height + 1);
  DecodeCompressedLines(src.data(), static_cast<uint32_t>(src.size()), in.width, in.height,
                        frame.data());
  return 0;
}
