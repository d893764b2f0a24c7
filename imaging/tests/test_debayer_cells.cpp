// The Mono, Bayer, Nearest, Bin2x2 and Preview
// demosaic families: worked examples, random frames against a per-pixel
// formulation for every format and phase, and the refusal rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "imaging/debayer.h"
#include "imaging/tests/debayer_cells_reference.h"
#include "imaging/tests/raw_test_support.h"

namespace {

using rawtest::kCanary16;
using rawtest::kCanary8;

constexpr int kFamilies[] = {DEBAYER_MONO, DEBAYER_BAYER, DEBAYER_NEAREST, DEBAYER_BIN2X2,
                             DEBAYER_PREVIEW};

std::string Name(int family, int format, int phase) {
  static const char* const kFamilyNames[8] = {"Mono",     "Bayer",    "Nearest",   "Bin2x2",
                                              "Bilinear", "Adaptive", "Laplacian", "Preview"};
  return std::string("Debayer") + kFamilyNames[family] + "_" + rawtest::kFormatNames[format] + "_" +
         rawtest::kPhaseNames[phase];
}

// Runs member (family, format, phase) on a frame of samples; returns the
// destination (output pixels plus `slack` canary samples after them) and the
// result.
struct MemberRun {
  int32_t result;
  std::vector<uint32_t> out;  // channel values, widened
};

MemberRun RunMember(int family, int format, int phase, const std::vector<uint32_t>& frame, int w,
                    int h, size_t outSamples, size_t slack = 8) {
  MemberRun run;
  if (format < DEBAYER_16TO48) {
    std::vector<uint8_t> src(frame.begin(), frame.end());
    std::vector<uint8_t> dst(outSamples + slack, kCanary8);
    run.result =
        Debayer8Member(family, format, phase)(src.empty() ? nullptr : src.data(), w, h, dst.data());
    run.out.assign(dst.begin(), dst.end());
  } else {
    std::vector<uint16_t> src(frame.begin(), frame.end());
    std::vector<uint16_t> dst(outSamples + slack, kCanary16);
    run.result = Debayer16Member(family, format, phase)(src.empty() ? nullptr : src.data(), w, h,
                                                        dst.data());
    run.out.assign(dst.begin(), dst.end());
  }
  return run;
}

int Channels(int format) { return format == DEBAYER_8TO24 || format == DEBAYER_16TO48 ? 3 : 4; }
uint32_t Canary(int format) { return format < DEBAYER_16TO48 ? kCanary8 : kCanary16; }

// ---- Random frames against the per-pixel formulation ----

TEST(DebayerCellFamilies, EveryMemberMatchesThePerPixelFormulation) {
  // 2102 and 4106 cross the 512-item runs in which rows are written.
  const std::pair<int, int> sizes[] = {{2, 2}, {6, 4},   {8, 6},    {10, 2},
                                       {2, 8}, {34, 12}, {2102, 2}, {4106, 2}};
  for (int family : kFamilies)
    for (int format = 0; format < 4; ++format)
      for (int phase = 0; phase < 4; ++phase)
        for (auto [w, h] : sizes) {
          const uint32_t maxValue = format < DEBAYER_16TO48 ? 255 : 65535;
          const auto frame = rawtest::RandomSamples<uint32_t>(
              static_cast<size_t>(w) * h, family * 1000 + format * 100 + phase * 10 + w, maxValue);
          const int ow = family == DEBAYER_PREVIEW ? w / 2 : w;
          const int oh = family == DEBAYER_PREVIEW ? h / 2 : h;
          const int c = Channels(format);
          const MemberRun run =
              RunMember(family, format, phase, frame, w, h, static_cast<size_t>(ow) * oh * c);
          const std::string name =
              Name(family, format, phase) + " " + std::to_string(w) + "x" + std::to_string(h);
          ASSERT_EQ(run.result, 1) << name;
          for (int y = 0; y < oh; ++y)
            for (int x = 0; x < ow; ++x) {
              const rawtest::Rgb want = rawtest::ReferencePixel(family, frame, w, phase, x, y);
              const uint32_t* p = &run.out[(static_cast<size_t>(y) * ow + x) * c];
              ASSERT_EQ(p[0], want.b) << name << " B at " << x << "," << y;
              ASSERT_EQ(p[1], want.g) << name << " G at " << x << "," << y;
              ASSERT_EQ(p[2], want.r) << name << " R at " << x << "," << y;
              if (c == 4) {
                ASSERT_EQ(p[3], 0u) << name << " 4th channel at " << x << "," << y;
              }
            }
          for (size_t k = static_cast<size_t>(ow) * oh * c; k < run.out.size(); ++k) {
            ASSERT_EQ(run.out[k], Canary(format)) << name << ": wrote past the image";
          }
        }
}

TEST(DebayerMono, OddSizesAreAcceptedAndThePhasePlaysNoPart) {
  for (auto [w, h] : std::vector<std::pair<int, int>>{{3, 3}, {1, 7}, {5, 2}}) {
    const auto frame =
        rawtest::RandomSamples<uint32_t>(static_cast<size_t>(w) * h, w * 31 + h, 255);
    for (int format = 0; format < 4; ++format) {
      const int c = Channels(format);
      const MemberRun first =
          RunMember(DEBAYER_MONO, format, 0, frame, w, h, static_cast<size_t>(w) * h * c);
      EXPECT_EQ(first.result, 1);
      for (int i = 0; i < w * h; ++i) {
        EXPECT_EQ(first.out[i * c], frame[i]);
        EXPECT_EQ(first.out[i * c + 1], frame[i]);
        EXPECT_EQ(first.out[i * c + 2], frame[i]);
      }
      for (int phase = 1; phase < 4; ++phase)
        EXPECT_EQ(
            RunMember(DEBAYER_MONO, format, phase, frame, w, h, static_cast<size_t>(w) * h * c).out,
            first.out);
    }
  }
}

// ---- Worked examples of Mono and Bayer ----

TEST(DebayerBayer, WorkedExamples2x2) {
  const uint8_t src[4] = {10, 20, 30, 40};
  uint8_t dst[12];
  EXPECT_EQ(DebayerBayer_8to24_GBRG(src, 2, 2, dst), 1);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 12),
            (std::vector<uint8_t>{0, 10, 0, 20, 0, 0, 0, 0, 30, 0, 40, 0}));
  EXPECT_EQ(DebayerBayer_8to24_RGGB(src, 2, 2, dst), 1);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 12),
            (std::vector<uint8_t>{0, 0, 10, 0, 20, 0, 0, 30, 0, 40, 0, 0}));
}

TEST(DebayerBayer, EightTo32WritesZeroIntoEveryFourthByte) {
  const auto frame = rawtest::RandomSamples<uint8_t>(8 * 6, 9, 255);
  std::vector<uint8_t> dst(8 * 6 * 4, kCanary8);
  EXPECT_EQ(DebayerBayer_8to32_BGGR(frame.data(), 8, 6, dst.data()), 1);
  for (size_t i = 3; i < dst.size(); i += 4) EXPECT_EQ(dst[i], 0) << i;
}

TEST(DebayerBayer, OddSizesRefusedEvenNonPositiveDone) {
  const std::vector<uint8_t> src(64, 77);
  for (int phase = 0; phase < 4; ++phase) {
    std::vector<uint8_t> dst(256, kCanary8);
    EXPECT_EQ(Debayer8Member(DEBAYER_BAYER, DEBAYER_8TO24, phase)(src.data(), 3, 2, dst.data()), 0);
    EXPECT_EQ(Debayer8Member(DEBAYER_BAYER, DEBAYER_8TO24, phase)(src.data(), 2, 5, dst.data()), 0);
    EXPECT_EQ(Debayer8Member(DEBAYER_BAYER, DEBAYER_8TO24, phase)(src.data(), 0, 2, dst.data()), 1);
    EXPECT_EQ(dst, std::vector<uint8_t>(256, kCanary8));
  }
}

TEST(DebayerMono, ThreeByThreeAndWidthZero) {
  const uint8_t src[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  std::vector<uint8_t> dst(27 + 3, kCanary8);
  EXPECT_EQ(DebayerMono_8to24_GBRG(src, 3, 3, dst.data()), 1);
  for (int i = 0; i < 9; ++i)
    for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(dst[3 * i + ch], src[i]);
  EXPECT_EQ(dst[27], kCanary8);
  std::vector<uint8_t> untouched(30, kCanary8);
  EXPECT_EQ(DebayerMono_8to24_GBRG(src, 0, 3, untouched.data()), 1);
  EXPECT_EQ(DebayerMono_8to24_GBRG(src, -2, 3, untouched.data()), 1);  // n = -6
  EXPECT_EQ(untouched, std::vector<uint8_t>(30, kCanary8));
}

TEST(DebayerSixteenBit, ValuesAreKeptUnscaled) {
  const uint16_t s4095 = 4095;
  uint16_t grey[3] = {0, 0, 0};
  EXPECT_EQ(DebayerMono_16to48_GBRG(&s4095, 1, 1, grey), 1);
  EXPECT_EQ(grey[0], 4095);
  EXPECT_EQ(grey[1], 4095);
  EXPECT_EQ(grey[2], 4095);
  const uint16_t src[4] = {65535, 65535, 65535, 65535};
  uint16_t dst[16];
  EXPECT_EQ(DebayerBayer_16to64_GBRG(src, 2, 2, dst), 1);
  // G0 top left: (0, 65535, 0, 0); B top right: (65535, 0, 0, 0).
  EXPECT_EQ(dst[1], 65535);
  EXPECT_EQ(dst[4], 65535);
  EXPECT_EQ(dst[10], 65535);  // R bottom left
  EXPECT_EQ(dst[13], 65535);  // G1 bottom right
  for (int i : {0, 2, 3, 5, 6, 7, 8, 9, 11, 12, 14, 15}) EXPECT_EQ(dst[i], 0) << i;
}

// ---- Worked examples of Nearest, Bin2x2 and Preview ----

TEST(DebayerCells, WorkedExamplesGBRG) {
  const uint8_t src[4] = {1, 2, 7, 8};  // Gt = 1, B = 2, R = 7, Gb = 8
  uint8_t dst[12];
  EXPECT_EQ(DebayerNearest_8to24_GBRG(src, 2, 2, dst), 1);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 12),
            (std::vector<uint8_t>{2, 1, 7, 2, 1, 7, 2, 8, 7, 2, 8, 7}));
  EXPECT_EQ(DebayerBin2x2_8to24_GBRG(src, 2, 2, dst), 1);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 12),
            (std::vector<uint8_t>{2, 4, 7, 2, 4, 7, 2, 4, 7, 2, 4, 7}));
  uint8_t one[3 + 3];
  std::fill(one, one + 6, kCanary8);
  EXPECT_EQ(DebayerPreview_8to24_GBRG(src, 2, 2, one), 1);
  EXPECT_EQ(std::vector<uint8_t>(one, one + 6),
            (std::vector<uint8_t>{2, 4, 7, kCanary8, kCanary8, kCanary8}));
}

TEST(DebayerPreview, SixByFourGivesThreeByTwo) {
  const auto frame = rawtest::RandomSamples<uint8_t>(24, 11, 255);
  std::vector<uint8_t> dst(18 + 4, kCanary8);
  EXPECT_EQ(DebayerPreview_8to24_GBRG(frame.data(), 6, 4, dst.data()), 1);
  // Row 1 of the image starts at byte 9 (rows of 9 bytes, packed) and is
  // made from source rows 2 and 3.
  const int gm =
      (frame[2 * 6 + 2] + frame[3 * 6 + 3]) / 2;  // cell (1, 1): Gt at (2, 2), Gb at (3, 3)
  EXPECT_EQ(dst[9 + 3 + 0], frame[2 * 6 + 3]);    // B top right
  EXPECT_EQ(dst[9 + 3 + 1], gm);
  EXPECT_EQ(dst[9 + 3 + 2], frame[3 * 6 + 2]);  // R bottom left
  for (int i = 18; i < 22; ++i) EXPECT_EQ(dst[i], kCanary8);
}

TEST(DebayerBin2x2, GreenMeanOfSixteenBitSamplesDoesNotOverflow) {
  const uint16_t both[4] = {65535, 1, 2, 65535};  // GBRG: Gt top left, Gb bottom right
  uint16_t dst[12];
  EXPECT_EQ(DebayerBin2x2_16to48_GBRG(both, 2, 2, dst), 1);
  EXPECT_EQ(dst[1], 65535);
  const uint16_t half[4] = {65535, 1, 2, 0};
  EXPECT_EQ(DebayerBin2x2_16to48_GBRG(half, 2, 2, dst), 1);
  EXPECT_EQ(dst[1], 32767);
}

TEST(DebayerNearest, RGGBExample) {
  const uint8_t src[4] = {10, 20, 30, 40};
  uint8_t dst[12];
  EXPECT_EQ(DebayerNearest_8to24_RGGB(src, 2, 2, dst), 1);
  EXPECT_EQ(std::vector<uint8_t>(dst, dst + 12),
            (std::vector<uint8_t>{40, 20, 10, 40, 20, 10, 40, 30, 10, 40, 30, 10}));
}

// ---- Refusal rules: odd sizes leave the destination untouched (canary);
// even sizes of 0 or less are done with nothing written ----

TEST(DebayerCellFamilies, RefusalRules) {
  const std::vector<uint32_t> frame(64, 123);
  const std::pair<int, int> refused[] = {{6, 3}, {3, 6}, {5, 5}, {-3, 2}, {2, -1}, {1, 1}};
  const std::pair<int, int> empty[] = {{0, 2}, {2, 0}, {0, 0}, {-2, 4}, {4, -2}, {-2, -2}};
  for (int family : {DEBAYER_BAYER, DEBAYER_NEAREST, DEBAYER_BIN2X2, DEBAYER_PREVIEW})
    for (int format = 0; format < 4; ++format)
      for (int phase = 0; phase < 4; ++phase) {
        for (auto [w, h] : refused) {
          const MemberRun run = RunMember(family, format, phase, frame, w, h, 0, 200);
          EXPECT_EQ(run.result, 0) << Name(family, format, phase) << " " << w << "x" << h;
          EXPECT_EQ(run.out, std::vector<uint32_t>(200, Canary(format)))
              << Name(family, format, phase);
        }
        for (auto [w, h] : empty) {
          const MemberRun run = RunMember(family, format, phase, frame, w, h, 0, 200);
          EXPECT_EQ(run.result, 1) << Name(family, format, phase) << " " << w << "x" << h;
          EXPECT_EQ(run.out, std::vector<uint32_t>(200, Canary(format)))
              << Name(family, format, phase);
        }
      }
}

}  // namespace

// ---- The 3-channel writers: SIMD forms against the scalar ones ----
#include "imaging/src/cpu_features.h"
#include "imaging/src/debayer_cell_walk.h"

namespace {

TEST(PixelWriters, Pack8to24FormsAgree) {
  for (ptrdiff_t n : {0, 1, 5, 15, 16, 17, 31, 32, 33, 100, 512}) {
    auto words = rawtest::RandomSamples<uint32_t>(static_cast<size_t>(n),
                                                  300 + static_cast<uint32_t>(n), 0xFFFFFF);
    std::vector<uint8_t> a(3 * n + 8, kCanary8), b(3 * n + 8, kCanary8), c(3 * n + 8, kCanary8);
    imaging::detail::PackPixels8to24Scalar(words.data(), n, a.data());
    if (imaging::cpu::HasSsse3())
      imaging::detail::PackPixels8to24Ssse3(words.data(), n, b.data());
    else
      b = a;
    imaging::detail::PackPixels8to24(words.data(), n, c.data());
    for (ptrdiff_t i = 0; i < n; ++i)
      for (int ch = 0; ch < 3; ++ch)
        ASSERT_EQ(a[3 * i + ch], (words[i] >> (8 * ch)) & 0xFF) << n << " " << i;
    EXPECT_EQ(a, b) << n;
    EXPECT_EQ(a, c) << n;
    for (size_t k = 3 * n; k < a.size(); ++k) EXPECT_EQ(b[k], kCanary8) << n;
  }
}

TEST(PixelWriters, SixByteItemFormsAgree) {
  for (ptrdiff_t n : {0, 1, 2, 3, 7, 8, 9, 16, 17, 255}) {
    std::vector<uint64_t> items(static_cast<size_t>(n));
    std::mt19937_64 rng(400 + n);
    for (auto& v : items) v = rng() & 0xFFFFFFFFFFFFull;
    std::vector<uint8_t> a(6 * n + 8, kCanary8), b(6 * n + 8, kCanary8);
    imaging::detail::StoreSixByteItemsScalar(items.data(), n, a.data());
    imaging::detail::StoreSixByteItems(items.data(), n, b.data());
    for (ptrdiff_t i = 0; i < n; ++i)
      for (int k = 0; k < 6; ++k)
        ASSERT_EQ(a[6 * i + k], (items[i] >> (8 * k)) & 0xFF) << n << " " << i;
    EXPECT_EQ(a, b) << n;
    for (size_t k = 6 * n; k < a.size(); ++k) EXPECT_EQ(a[k], kCanary8) << n;
  }
}

}  // namespace
