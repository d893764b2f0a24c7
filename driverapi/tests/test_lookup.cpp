// Lookup-table builders: brightness, contrast and gamma curves and the fixed
// step tables.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "QDV47B5API.h"

namespace {

using Table = std::array<std::uint16_t, 4096>;

Table Build(std::int32_t b, std::int32_t c, std::int32_t g, std::uint16_t max) {
  Table table;
  table.fill(0xBEEF);
  EXPECT_NE(BuildLookupTable(b, c, g, table.data(), max), 0);
  return table;
}

Table BuildSteps(std::uint16_t max, std::int32_t n) {
  Table table;
  table.fill(0xBEEF);
  EXPECT_NE(BuildPredefinedLookupTable(table.data(), max, n), 0);
  return table;
}

void ExpectEntries(const Table& table, const std::map<int, int>& entries) {
  for (const auto& [index, value] : entries) EXPECT_EQ(table[index], value) << "entry " << index;
}

}  // namespace

TEST(BuildLookupTable, NeutralSettingsAreALinearRamp) {
  ExpectEntries(Build(0, 0, 0, 255),
                {{0, 0}, {1, 0}, {8, 1}, {1024, 64}, {2048, 128}, {3072, 192}, {4095, 255}});
  ExpectEntries(Build(0, 0, 0, 1023),
                {{0, 0}, {1, 0}, {8, 2}, {1024, 256}, {2048, 512}, {3072, 768}, {4095, 1023}});
}

TEST(BuildLookupTable, FullBrightnessShiftsByHalfTheRange) {
  const Table t = Build(127, 0, 0, 255);
  ExpectEntries(t, {{0, 128}, {8, 129}, {1024, 192}, {2048, 255}});
  for (int i = 2048; i < 4096; ++i) ASSERT_EQ(t[i], 255) << i;
}

TEST(BuildLookupTable, LowestContrastQuartersTheSlope) {
  const Table t = Build(0, -127, 0, 255);
  ExpectEntries(t, {{0, 96}, {2048, 128}, {4095, 160}});
  for (int i = 1; i < 4096; ++i) ASSERT_GE(t[i], t[i - 1]) << i;
}

TEST(BuildLookupTable, GammaExponents) {
  ExpectEntries(Build(0, 0, 127, 255), {{1024, 4}, {2048, 32}, {3072, 108}, {4095, 255}});
  ExpectEntries(Build(0, 0, -127, 255), {{0, 13}, {1024, 161}, {2048, 203}});
}

TEST(BuildLookupTable, ContrastSixtyFourIsExactlyTwo) {
  ExpectEntries(Build(0, 64, 0, 255), {{1024, 0}, {2048, 128}, {3072, 255}});
  // The rule's 2.0109... would leave entry 1028 at 0 and entry 5 of the -64
  // table at 65.
  EXPECT_EQ(Build(0, 64, 0, 255)[1028], 1);
  EXPECT_EQ(Build(0, -64, 0, 255)[5], 64);
}

TEST(BuildLookupTable, SettingsBeyondTheRangeAreClamped) {
  EXPECT_EQ(Build(200, -500, 0, 255), Build(127, -127, 0, 255));
  EXPECT_EQ(Build(-128, 128, 1000, 1023), Build(-127, 127, 127, 1023));
}

TEST(BuildLookupTable, ValuesStayWithinZeroAndMax) {
  for (std::int32_t b : {-127, 0, 127}) {
    for (std::int32_t c : {-127, 0, 127}) {
      for (std::uint16_t max : {std::uint16_t{255}, std::uint16_t{1023}}) {
        const Table t = Build(b, c, 40, max);
        for (std::uint16_t v : t) ASSERT_LE(v, max);
      }
    }
  }
  const Table low = Build(-127, 0, 0, 255);
  EXPECT_EQ(low[0], 0);
  EXPECT_EQ(low[2047], 0);
}

TEST(BuildLookupTable, NullTableIsRefused) {
  SetLastError(0);
  EXPECT_EQ(BuildLookupTable(0, 0, 0, nullptr, 255), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(BuildPredefinedLookupTable, StepLengthBelowOneFillsWithMax) {
  for (std::int32_t n : {0, -1, -100}) {
    const Table t = BuildSteps(255, n);
    for (std::uint16_t v : t) ASSERT_EQ(v, 255) << n;
  }
}

TEST(BuildPredefinedLookupTable, Steps) {
  EXPECT_EQ(BuildSteps(255, 32)[4095], 127);
  EXPECT_EQ(BuildSteps(1023, 4)[4095], 1023);
  ExpectEntries(BuildSteps(255, 1), {{254, 254}, {255, 255}, {256, 255}, {257, 255}});
  // 16:1 keeps the top 8 of the 12 bits.
  const Table t = BuildSteps(255, 16);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(t[i], i >> 4) << i;
  ExpectEntries(BuildSteps(1023, 2), {{0, 0}, {1, 0}, {2, 1}, {2047, 1023}, {2048, 1023}});
}

TEST(BuildPredefinedLookupTable, NullTableIsRefused) {
  SetLastError(0);
  EXPECT_EQ(BuildPredefinedLookupTable(nullptr, 255, 16), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}
