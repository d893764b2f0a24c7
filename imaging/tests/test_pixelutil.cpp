// The defect-pixel filter, frame averaging, display pixels and memory helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/pixelutil.h"
#include "imaging/tests/raw_test_support.h"

namespace {

// The filter as defined, one position at a time from a copy of
// the unfiltered row.
template <class Sample>
void ReferenceFilter(std::vector<Sample>& frame, int w, int h, bool bayer) {
  const int d = bayer ? 2 : 1;
  for (int y = 0; y < h; ++y) {
    const std::vector<Sample> x(frame.begin() + y * w, frame.begin() + (y + 1) * w);
    for (int i = 0; i < w; ++i) {
      if (i < 2 * d || i > w - 1 - 2 * d) continue;
      const long a = x[i - d], b = x[i + d];
      const long pL = 2 * a - x[i - 2 * d], pR = 2 * b - x[i + 2 * d];
      const long lo = std::min({a, b, pL, pR}), hi = std::max({a, b, pL, pR});
      long v = x[i];
      if (lo < hi) v = v < lo ? lo : v > hi ? hi : v;
      frame[y * w + i] = static_cast<Sample>(v);
    }
  }
}

std::vector<uint8_t> Row(std::initializer_list<int> v) {
  return std::vector<uint8_t>(v.begin(), v.end());
}

TEST(FilterDefectPixels, IsolatedSpikeAmongEqualNeighboursStays) {
  auto row = Row({50, 50, 50, 50, 50, 50, 200, 50, 50, 50, 50, 50});
  const auto before = row;
  FilterDefectPixels8Bit(row.data(), 12, 1, 1);
  EXPECT_EQ(row, before);
}

TEST(FilterDefectPixels, BayerExampleFromTheUnfilteredRow) {
  auto row = Row({50, 50, 50, 50, 40, 50, 200, 50, 60, 50, 50, 50});
  FilterDefectPixels8Bit(row.data(), 12, 1, 1);
  EXPECT_EQ(row, Row({50, 50, 50, 50, 50, 50, 70, 50, 60, 50, 50, 50}));
}

TEST(FilterDefectPixels, MonoExample) {
  auto row = Row({10, 20, 30, 40, 50, 60, 0, 80, 90, 100, 110, 120});
  FilterDefectPixels8Bit(row.data(), 12, 1, 0);
  EXPECT_EQ(row[6], 60);
  auto expected = Row({10, 20, 30, 40, 50, 60, 60, 80, 90, 100, 110, 120});
  EXPECT_EQ(row, expected);
}

TEST(FilterDefectPixels, EdgesNeverChangeAndWidthEightBayerChangesNothing) {
  for (int bayer : {0, 1}) {
    auto frame = rawtest::RandomSamples<uint8_t>(30 * 4, 5 + bayer, 255);
    const auto before = frame;
    FilterDefectPixels8Bit(frame.data(), 30, 4, bayer);
    const int edge = bayer ? 4 : 2;
    for (int y = 0; y < 4; ++y)
      for (int k = 0; k < edge; ++k) {
        EXPECT_EQ(frame[y * 30 + k], before[y * 30 + k]);
        EXPECT_EQ(frame[y * 30 + 29 - k], before[y * 30 + 29 - k]);
      }
  }
  auto eight = rawtest::RandomSamples<uint8_t>(8 * 3, 6, 255);
  const auto before = eight;
  FilterDefectPixels8Bit(eight.data(), 8, 3, 1);
  EXPECT_EQ(eight, before);
}

TEST(FilterDefectPixels, SixteenBitEqualsEightBitBelow256) {
  for (int bayer : {0, 1}) {
    auto f8 = rawtest::RandomSamples<uint8_t>(40 * 6, 7 + bayer, 255);
    std::vector<uint16_t> f16(f8.begin(), f8.end());
    FilterDefectPixels8Bit(f8.data(), 40, 6, bayer);
    FilterDefectPixels16Bit(f16.data(), 40, 6, bayer);
    EXPECT_EQ(std::vector<uint16_t>(f8.begin(), f8.end()), f16);
  }
}

TEST(FilterDefectPixels, RandomFramesMatchThePartsRule) {
  for (int bayer : {0, 1})
    for (int w : {1, 3, 4, 5, 9, 17, 100}) {
      auto f8 = rawtest::RandomSamples<uint8_t>(w * 5, 100 + w + bayer, 255);
      auto r8 = f8;
      FilterDefectPixels8Bit(f8.data(), w, 5, bayer);
      ReferenceFilter(r8, w, 5, bayer);
      EXPECT_EQ(f8, r8) << w << " " << bayer;
      auto f16 = rawtest::RandomSamples<uint16_t>(w * 5, 200 + w + bayer, 65535);
      auto r16 = f16;
      FilterDefectPixels16Bit(f16.data(), w, 5, bayer);
      ReferenceFilter(r16, w, 5, bayer);
      EXPECT_EQ(f16, r16) << w << " " << bayer;
    }
}

TEST(FilterDefectPixels, RowsLongerThanTheRowBufferAreFilteredAlike) {
  // The classic filter's buffer holds 8192 samples; longer rows are filtered in
  // segments with the same result.
  for (int bayer : {0, 1})
    for (int w : {8192, 8193, 8196, 8197, 20000}) {
      auto f = rawtest::RandomSamples<uint16_t>(static_cast<size_t>(w) * 2, w + bayer, 4095);
      auto r = f;
      FilterDefectPixels16Bit(f.data(), w, 2, bayer);
      ReferenceFilter(r, w, 2, bayer);
      EXPECT_EQ(f, r) << w << " " << bayer;
    }
  // A flat row whose first segment ends (at 2d + 8192) just before a spike:
  // the spike at s - 2d is filtered to the flat value, and the sample at s
  // keeps its value only when s - 2d is read unfiltered (a tie, lo == hi).
  for (int bayer : {0, 1}) {
    const int d = bayer ? 2 : 1, w = 8240, s = 2 * d + 8192;
    std::vector<uint16_t> f(static_cast<size_t>(w), 100);
    f[static_cast<size_t>(s - 2 * d)] = 200;
    f[static_cast<size_t>(s)] = 150;
    auto r = f;
    FilterDefectPixels16Bit(f.data(), w, 1, bayer);
    ReferenceFilter(r, w, 1, bayer);
    EXPECT_EQ(f, r) << bayer;
  }
}

TEST(FilterDefectPixels, NonPositiveSizesChangeNothing) {
  auto f = rawtest::RandomSamples<uint8_t>(64, 3, 255);
  const auto before = f;
  FilterDefectPixels8Bit(f.data(), 0, 4, 1);
  FilterDefectPixels8Bit(f.data(), 16, 0, 1);
  FilterDefectPixels8Bit(f.data(), -16, 4, 0);
  EXPECT_EQ(f, before);
}

TEST(FrameAveraging, WorkedExamples) {
  uint32_t sum = 1000;
  uint8_t out = 0;
  DivideFrameSum8Bit(&out, &sum, 1, 4);
  EXPECT_EQ(out, 250);
  DivideFrameSum8Bit(&out, &sum, 1, 2);
  EXPECT_EQ(out, 244);  // 500 reduced to its low 8 bits
  uint32_t full = 4294967295u;
  const uint16_t one = 1;
  AccumulateFrame16Bit(&full, &one, 1);
  EXPECT_EQ(full, 0u);
}

TEST(FrameAveraging, SlidingSumOfFrames) {
  const int n = 37;
  std::vector<std::vector<uint16_t>> frames;
  for (int k = 0; k < 6; ++k) frames.push_back(rawtest::RandomSamples<uint16_t>(n, 50 + k, 4095));
  std::vector<uint32_t> sum(n, 0);
  for (int k = 0; k < 4; ++k) AccumulateFrame16Bit(sum.data(), frames[k].data(), n);
  UpdateFrameSum16Bit(sum.data(), frames[4].data(), frames[0].data(), n);
  UpdateFrameSum16Bit(sum.data(), frames[5].data(), frames[1].data(), n);
  std::vector<uint16_t> mean(n);
  DivideFrameSum16Bit(mean.data(), sum.data(), n, 4);
  for (int i = 0; i < n; ++i) {
    const uint32_t s = frames[2][i] + frames[3][i] + frames[4][i] + frames[5][i];
    EXPECT_EQ(sum[i], s);
    EXPECT_EQ(mean[i], s / 4);
  }
  // 8-bit forms
  std::vector<uint8_t> a = rawtest::RandomSamples<uint8_t>(n, 60, 255),
                       b = rawtest::RandomSamples<uint8_t>(n, 61, 255);
  std::vector<uint32_t> s8(n, 0);
  AccumulateFrame8Bit(s8.data(), a.data(), n);
  AccumulateFrame8Bit(s8.data(), a.data(), n);
  UpdateFrameSum8Bit(s8.data(), b.data(), a.data(), n);
  std::vector<uint8_t> m8(n);
  DivideFrameSum8Bit(m8.data(), s8.data(), n, 2);
  for (int i = 0; i < n; ++i) EXPECT_EQ(m8[i], (a[i] + b[i]) / 2);
}

TEST(FrameAveraging, UpdateWrapsModulo2To32) {
  uint32_t sum = 0;
  const uint8_t newest = 0, oldest = 1;
  UpdateFrameSum8Bit(&sum, &newest, &oldest, 1);
  EXPECT_EQ(sum, 4294967295u);
}

TEST(FrameAveraging, NonPositiveCountDoesNothing) {
  std::vector<uint32_t> sum(4, 7);
  const std::vector<uint8_t> f(4, 1);
  std::vector<uint8_t> out(4, rawtest::kCanary8);
  AccumulateFrame8Bit(sum.data(), f.data(), 0);
  UpdateFrameSum8Bit(sum.data(), f.data(), f.data(), -1);
  DivideFrameSum8Bit(out.data(), sum.data(), 0, 1);
  EXPECT_EQ(sum, std::vector<uint32_t>(4, 7));
  EXPECT_EQ(out, std::vector<uint8_t>(4, rawtest::kCanary8));
}

TEST(DisplayPixels, ByteExactForEveryLengthUpToSeveralSteps) {
  const std::uint8_t grey[] = {0, 128, 255};
  std::uint32_t out[4] = {0, 0, 0, 7};
  ConvertGreyToRGB32(grey, out, 3);
  EXPECT_TRUE(out[0] == 0xff000000u && out[1] == 0xff808080u && out[2] == 0xffffffffu);
  // B, G, R bytes; the source ends right after the last pixel.
  const std::uint8_t bgr[] = {1, 2, 3, 0xff, 0x80, 0x00};
  ConvertBGR24ToRGB32(bgr, out, 2);
  EXPECT_TRUE(out[0] == 0xff030201u && out[1] == 0xff0080ffu && out[3] == 7);

  for (int count = 1; count <= 37; ++count) {
    std::vector<std::uint8_t> src(count);
    for (int i = 0; i < count; ++i) src[i] = static_cast<std::uint8_t>(i * 53 + 11);
    std::vector<std::uint32_t> dst(count + 1, 7);
    ConvertGreyToRGB32(src.data(), dst.data(), count);
    for (int i = 0; i < count; ++i) ASSERT_EQ(dst[i], 0xff000000u | src[i] * 0x010101u);
    ASSERT_EQ(dst[count], 7u);
  }
  // Every length up to a few vector steps, each source exactly 3 x count
  // bytes (the sanitizer build catches a read past it).
  for (int count = 1; count <= 37; ++count) {
    std::vector<std::uint8_t> src(3 * count);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 37 + 5);
    std::vector<std::uint32_t> dst(count + 1, 7);
    ConvertBGR24ToRGB32(src.data(), dst.data(), count);
    for (int i = 0; i < count; ++i)
      ASSERT_EQ(dst[i], 0xff000000u | src[3 * i + 2] << 16 | src[3 * i + 1] << 8 | src[3 * i])
          << "count " << count << " pixel " << i;
    ASSERT_EQ(dst[count], 7u);
  }
}

TEST(MemoryHelpers, AllocFreeZeroCopy) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{4096}, size_t{64} << 20}) {
    void* p = ImageAlloc(size);
    ASSERT_NE(p, nullptr) << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 64, 0u);
    if (size > 0) {
      static_cast<uint8_t*>(p)[0] = 1;
      static_cast<uint8_t*>(p)[size - 1] = 2;
    }
    EXPECT_EQ(ImageFree(p), nullptr);
  }
  EXPECT_EQ(ImageFree(nullptr), nullptr);
  // A size no machine can give: null, not a crash later.
  EXPECT_EQ(ImageAlloc(SIZE_MAX - 16), nullptr);
  EXPECT_EQ(ImageAlloc(size_t{1} << 60), nullptr);

  std::vector<uint8_t> buf(16, 9);
  ZeroBytes(buf.data() + 2, 5);
  EXPECT_EQ(buf, (std::vector<uint8_t>{9, 9, 0, 0, 0, 0, 0, 9, 9, 9, 9, 9, 9, 9, 9, 9}));
  ZeroBytes(buf.data(), 0);
  EXPECT_EQ(buf[0], 9);

  std::vector<uint8_t> src = {1, 2, 3, 4, 5, 6, 7, 8};
  std::vector<uint8_t> dst(8, 0);
  CopyBytes(dst.data(), src.data(), 8);
  EXPECT_EQ(dst, src);
  CopyBytes(dst.data(), src.data(), 0);
  // Overlapping, destination above the source: one byte at a time upward
  // repeats the start.
  std::vector<uint8_t> over = {1, 2, 3, 4, 5, 6, 7, 8};
  CopyBytes(over.data() + 2, over.data(), 6);
  EXPECT_EQ(over, (std::vector<uint8_t>{1, 2, 1, 2, 1, 2, 1, 2}));
  // Destination below the source: a plain forward copy.
  std::vector<uint8_t> down = {1, 2, 3, 4, 5, 6, 7, 8};
  CopyBytes(down.data(), down.data() + 2, 6);
  EXPECT_EQ(down, (std::vector<uint8_t>{3, 4, 5, 6, 7, 8, 7, 8}));
}

}  // namespace
