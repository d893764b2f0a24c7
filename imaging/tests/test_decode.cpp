// The packed unpackers and the 16-to-8-bit lookup.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "imaging/decode.h"
#include "imaging/tests/raw_test_support.h"

namespace {

using rawtest::kCanary16;
using rawtest::kCanary8;
using rawtest::RandomSamples;

// Straightforward per-sample formulations of the two packed formats (their
// data model as defined), for a row of whole blocks/groups.
uint16_t Sample10(const uint8_t* row, int x) {
  const int block = x / 16, j = x % 16;
  const uint8_t* b = row + 20 * block;
  const int high = (b[16 + j / 4] >> (2 * (j % 4))) & 3;
  return static_cast<uint16_t>(b[j] + 256 * high);
}

uint16_t Sample12(const uint8_t* row, int x) {
  const uint8_t* b = row + 6 * (x / 4);
  switch (x % 4) {
    case 0: {
      // bits 0-3: high nibble of b1, bits 4-7: high nibble of b3, bits 8-11:
      // high nibble of b5.
      const int lo = b[1] / 16, mid = b[3] / 16, hi = b[5] / 16;
      return static_cast<uint16_t>(lo + 16 * mid + 256 * hi);
    }
    case 1: return static_cast<uint16_t>(b[0] + 256 * (b[1] % 16));
    case 2: return static_cast<uint16_t>(b[2] + 256 * (b[3] % 16));
    default: return static_cast<uint16_t>(b[4] + 256 * (b[5] % 16));
  }
}

// ---- Worked examples of the formats ----

TEST(Unpack12Bit, WorkedExampleGroup) {
  const std::vector<uint8_t> src = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB};
  std::vector<uint16_t> dst(4, kCanary16);
  EXPECT_EQ(Unpack12Bit(src.data(), 4, 1, dst.data()), 4);
  EXPECT_EQ(dst, (std::vector<uint16_t>{0xA62, 0x301, 0x745, 0xB89}));
}

TEST(Unpack12BitTo8Bit, WorkedExampleGroup) {
  std::vector<uint8_t> buf = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB};
  EXPECT_EQ(Unpack12BitTo8Bit(buf.data(), 4, 1), 4);
  EXPECT_EQ(buf, (std::vector<uint8_t>{0xA6, 0x30, 0x74, 0xB8, 0x89, 0xAB}));
}

TEST(Unpack10Bit, WorkedExampleHighBitsE4) {
  std::vector<uint8_t> src(20, 0);
  for (int j = 0; j < 16; ++j) src[j] = static_cast<uint8_t>(10 + j);
  src[16] = 0xE4;  // 11 10 01 00: samples 0..3 get high parts 0, 1, 2, 3
  std::vector<uint16_t> dst(16, kCanary16);
  EXPECT_EQ(Unpack10Bit(src.data(), 16, 1, dst.data()), 0);
  EXPECT_EQ(dst[0], 10);
  EXPECT_EQ(dst[1], 256 + 11);
  EXPECT_EQ(dst[2], 512 + 12);
  EXPECT_EQ(dst[3], 768 + 13);
  for (int j = 4; j < 16; ++j) EXPECT_EQ(dst[j], 10 + j) << j;
}

TEST(Unpack12Bit, FullHdFrameReturnsSampleCount) {
  const int w = 1920, h = 1080;
  const auto src = RandomSamples<uint8_t>(static_cast<size_t>(w) * 3 / 2 * h, 1, 255);
  std::vector<uint16_t> dst(static_cast<size_t>(w) * h);
  EXPECT_EQ(Unpack12Bit(src.data(), w, h, dst.data()), 2073600);
  // 480 groups per row: the last sample of the frame comes from the last group.
  const uint8_t* last = src.data() + src.size() - 6;
  EXPECT_EQ(dst.back(), static_cast<uint16_t>(last[4] | ((last[5] & 0x0F) << 8)));
}

TEST(Unpack10Bit, FullHdFrameReturnsZero) {
  const int w = 1920, h = 1080;
  const auto src = RandomSamples<uint8_t>(static_cast<size_t>(w) * 10 / 8 * h, 2, 255);
  std::vector<uint16_t> dst(static_cast<size_t>(w) * h);
  EXPECT_EQ(Unpack10Bit(src.data(), w, h, dst.data()), 0);
  for (int y : {0, 539, 1079})
    for (int x : {0, 1, 15, 16, 1903, 1919})
      EXPECT_EQ(dst[static_cast<size_t>(y) * w + x],
                Sample10(src.data() + static_cast<size_t>(y) * 2400, x));
}

TEST(ApplyLookupTable16To8, CountZeroWritesNothing) {
  const std::vector<uint16_t> src = {1, 2, 3};
  std::vector<uint8_t> table(1024, 7);
  std::vector<uint8_t> dst(3, kCanary8);
  ApplyLookupTable16To8(src.data(), 0, table.data(), dst.data());
  ApplyLookupTable16To8(src.data(), -5, table.data(), dst.data());
  EXPECT_EQ(dst, std::vector<uint8_t>(3, kCanary8));
}

// ---- Random frames against the per-sample formulation ----

TEST(Unpack10Bit, RandomFramesMatchDataModel) {
  for (int w : {16, 32, 64, 1920}) {
    const int h = 5;
    const size_t rowBytes = static_cast<size_t>(w) * 10 / 8;
    const auto src = RandomSamples<uint8_t>(rowBytes * h, 10 + w, 255);
    std::vector<uint16_t> dst(static_cast<size_t>(w) * h, kCanary16);
    EXPECT_EQ(Unpack10Bit(src.data(), w, h, dst.data()), 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(dst[static_cast<size_t>(y) * w + x], Sample10(src.data() + y * rowBytes, x))
            << "w=" << w << " x=" << x << " y=" << y;
  }
}

TEST(Unpack12Bit, RandomFramesMatchDataModel) {
  for (int w : {4, 8, 12, 1920}) {
    const int h = 5;
    const size_t rowBytes = static_cast<size_t>(w) * 3 / 2;
    const auto src = RandomSamples<uint8_t>(rowBytes * h, 20 + w, 255);
    std::vector<uint16_t> dst(static_cast<size_t>(w) * h, kCanary16);
    EXPECT_EQ(Unpack12Bit(src.data(), w, h, dst.data()), w * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(dst[static_cast<size_t>(y) * w + x], Sample12(src.data() + y * rowBytes, x))
            << "w=" << w << " x=" << x << " y=" << y;
  }
}

TEST(Unpack10BitTo8Bit, KeepsLowBytesInPlace) {
  for (int w : {16, 48, 1920}) {
    const int h = 4;
    const size_t rowBytes = static_cast<size_t>(w) * 10 / 8;
    const auto packed = RandomSamples<uint8_t>(rowBytes * h, 30 + w, 255);
    std::vector<uint8_t> buf = packed;
    EXPECT_EQ(Unpack10BitTo8Bit(buf.data(), w, h), w * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(buf[static_cast<size_t>(y) * w + x],
                  Sample10(packed.data() + y * rowBytes, x) & 0xFF)
            << "w=" << w << " x=" << x << " y=" << y;
  }
}

TEST(Unpack12BitTo8Bit, KeepsTopBitsInPlace) {
  for (int w : {4, 12, 1920}) {
    const int h = 4;
    const size_t rowBytes = static_cast<size_t>(w) * 3 / 2;
    const auto packed = RandomSamples<uint8_t>(rowBytes * h, 40 + w, 255);
    std::vector<uint8_t> buf = packed;
    EXPECT_EQ(Unpack12BitTo8Bit(buf.data(), w, h), w * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(buf[static_cast<size_t>(y) * w + x],
                  Sample12(packed.data() + y * rowBytes, x) >> 4)
            << "w=" << w << " x=" << x << " y=" << y;
  }
}

TEST(ApplyLookupTable16To8, MapsExactlyCountSamples) {
  for (int count : {1, 7, 8, 9, 63, 1000}) {
    const auto src = RandomSamples<uint16_t>(count, 50 + count, 4095);
    const auto table = RandomSamples<uint8_t>(4096, 51, 255);
    std::vector<uint8_t> dst(count + 3, kCanary8);
    ApplyLookupTable16To8(src.data(), count, table.data(), dst.data());
    for (int i = 0; i < count; ++i) ASSERT_EQ(dst[i], table[src[i]]) << i;
    for (int i = count; i < count + 3; ++i) EXPECT_EQ(dst[i], kCanary8);
  }
}

TEST(ApplyLookupTable16To8, DefaultTablesOfTheCallers) {
  std::vector<uint8_t> t10(1024), t12(4096);
  for (int s = 0; s < 1024; ++s) t10[s] = static_cast<uint8_t>(s >> 2);
  for (int s = 0; s < 4096; ++s) t12[s] = static_cast<uint8_t>(s >> 4);
  const std::vector<uint16_t> src = {0, 3, 4, 1023, 512};
  std::vector<uint8_t> dst(5);
  ApplyLookupTable16To8(src.data(), 5, t10.data(), dst.data());
  EXPECT_EQ(dst, (std::vector<uint8_t>{0, 0, 1, 255, 128}));
  const std::vector<uint16_t> src12 = {0, 15, 16, 4095, 2048};
  ApplyLookupTable16To8(src12.data(), 5, t12.data(), dst.data());
  EXPECT_EQ(dst, (std::vector<uint8_t>{0, 0, 1, 255, 128}));
}

// ---- Refusals: non-positive sizes leave the destination untouched ----

TEST(Unpackers, NonPositiveSizesWriteNothing) {
  const std::vector<uint8_t> src(64, 0x5A);
  for (auto [w, h] :
       std::vector<std::pair<int, int>>{{0, 4}, {16, 0}, {-16, 4}, {16, -1}, {-4, -4}}) {
    std::vector<uint16_t> dst(64, kCanary16);
    EXPECT_EQ(Unpack10Bit(src.data(), w, h, dst.data()), 0);
    EXPECT_EQ(dst, std::vector<uint16_t>(64, kCanary16)) << w << "x" << h;
    EXPECT_EQ(Unpack12Bit(src.data(), w, h, dst.data()), 0);
    EXPECT_EQ(dst, std::vector<uint16_t>(64, kCanary16)) << w << "x" << h;
    std::vector<uint8_t> buf = src;
    EXPECT_EQ(Unpack10BitTo8Bit(buf.data(), w, h), 0);
    EXPECT_EQ(buf, src);
    EXPECT_EQ(Unpack12BitTo8Bit(buf.data(), w, h), 0);
    EXPECT_EQ(buf, src);
  }
  // 12-bit: fewer than one group per row (width below 4) writes nothing.
  std::vector<uint16_t> dst(64, kCanary16);
  EXPECT_EQ(Unpack12Bit(src.data(), 3, 4, dst.data()), 0);
  EXPECT_EQ(dst, std::vector<uint16_t>(64, kCanary16));
  std::vector<uint8_t> buf = src;
  EXPECT_EQ(Unpack12BitTo8Bit(buf.data(), 2, 4), 0);
  EXPECT_EQ(buf, src);
}

// ---- Widths the formats do not define: exact-size buffers (the sanitizer
// build catches any access outside them), whole blocks decoded, the rest of
// each row 0 ----

TEST(Unpack10Bit, WidthNotMultipleOf16DecodesWholeBlocksAndZeroesTheRest) {
  for (int w : {1, 8, 15, 20, 33, 1930}) {
    const int h = 3;
    const size_t rowBytes = static_cast<size_t>(w) * 10 / 8;
    const auto src = RandomSamples<uint8_t>(rowBytes * h, 60 + w, 255);
    std::vector<uint16_t> dst(static_cast<size_t>(w) * h, kCanary16);
    EXPECT_EQ(Unpack10Bit(src.data(), w, h, dst.data()), 0);
    const int whole = w / 16 * 16;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint16_t expected = x < whole ? Sample10(src.data() + y * rowBytes, x) : 0;
        ASSERT_EQ(dst[static_cast<size_t>(y) * w + x], expected)
            << "w=" << w << " x=" << x << " y=" << y;
      }
  }
}

TEST(Unpack12Bit, WidthNotMultipleOf4DecodesWholeGroupsAndZeroesTheRest) {
  for (int w : {5, 6, 7, 10, 1921}) {
    const int h = 3;
    const size_t rowBytes = static_cast<size_t>(w) * 3 / 2;
    const auto src = RandomSamples<uint8_t>(rowBytes * h, 70 + w, 255);
    std::vector<uint16_t> dst(static_cast<size_t>(w) * h, kCanary16);
    const int groups = w / 4;
    EXPECT_EQ(Unpack12Bit(src.data(), w, h, dst.data()), 4 * groups * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint16_t expected = x < 4 * groups ? Sample12(src.data() + y * rowBytes, x) : 0;
        ASSERT_EQ(dst[static_cast<size_t>(y) * w + x], expected)
            << "w=" << w << " x=" << x << " y=" << y;
      }
  }
}

TEST(Unpack10BitTo8Bit, WidthNotMultipleOf16StaysInsideTheBuffer) {
  for (int w : {8, 20, 40}) {
    const int h = 3;
    const size_t rowBytes = static_cast<size_t>(w) * 10 / 8;
    const auto packed = RandomSamples<uint8_t>(rowBytes * h, 80 + w, 255);
    std::vector<uint8_t> buf = packed;
    const int whole = w / 16 * 16;
    EXPECT_EQ(Unpack10BitTo8Bit(buf.data(), w, h), whole * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int expected = x < whole ? Sample10(packed.data() + y * rowBytes, x) & 0xFF : 0;
        ASSERT_EQ(buf[static_cast<size_t>(y) * w + x], expected) << "w=" << w << " x=" << x;
      }
  }
}

TEST(Unpack12BitTo8Bit, WidthNotMultipleOf4StaysInsideTheBuffer) {
  for (int w : {5, 6, 7, 14}) {
    const int h = 3;
    const size_t rowBytes = static_cast<size_t>(w) * 3 / 2;
    const auto packed = RandomSamples<uint8_t>(rowBytes * h, 90 + w, 255);
    std::vector<uint8_t> buf = packed;
    const int whole = w / 4 * 4;
    EXPECT_EQ(Unpack12BitTo8Bit(buf.data(), w, h), whole * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int expected = x < whole ? Sample12(packed.data() + y * rowBytes, x) >> 4 : 0;
        ASSERT_EQ(buf[static_cast<size_t>(y) * w + x], expected) << "w=" << w << " x=" << x;
      }
  }
}

}  // namespace

// ---- The SSE2 row kernels against the scalar ones ----
#include "imaging/src/raw_unpack_kernels.h"

namespace {

TEST(UnpackKernels, SimdMatchesScalar10) {
  for (int blocks : {0, 1, 2, 7, 120}) {
    const auto in = RandomSamples<uint8_t>(20 * blocks + 1, 100 + blocks, 255);
    std::vector<uint16_t> a(16 * blocks + 1, kCanary16), b(16 * blocks + 1, kCanary16);
    imaging::detail::Unpack10RowScalar(in.data(), blocks, a.data());
    imaging::detail::Unpack10RowSimd(in.data(), blocks, b.data());
    EXPECT_EQ(a, b) << blocks;
    EXPECT_EQ(b.back(), kCanary16);
  }
}

TEST(UnpackKernels, SimdMatchesScalar12WhateverIsReadable) {
  for (int groups : {0, 1, 2, 3, 5, 480}) {
    // readable from exactly the groups' bytes up to 4 more
    for (int extra : {0, 1, 2, 3, 4}) {
      const int64_t readable = 6 * groups + extra;
      const auto in =
          RandomSamples<uint8_t>(static_cast<size_t>(readable), 200 + groups * 5 + extra, 255);
      std::vector<uint16_t> a(4 * groups + 1, kCanary16), b(4 * groups + 1, kCanary16);
      imaging::detail::Unpack12RowScalar(in.data(), groups, a.data());
      imaging::detail::Unpack12RowSimd(in.data(), groups, readable, b.data());
      EXPECT_EQ(a, b) << groups << " " << extra;
      EXPECT_EQ(b.back(), kCanary16);
    }
  }
}

}  // namespace
