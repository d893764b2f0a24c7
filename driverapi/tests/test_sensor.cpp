// Register arithmetic: the formulas of SensorMath.h on their own, and the
// driver functions that read and write the registers through the fake
// device's register file.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "QDV47B5API.h"
#include "SensorMath.h"
#include "driverapi/tests/support_fakedevice.h"

using fake::kUntouchedError;
using fake::Read;
using fake::RegisterAccess;
using fake::Write;
using SensorMath::TimingRegisters;

namespace {

constexpr double kTolerance = 1e-9;

// Every register the search reads is 0 except 0xDB = 120.
TimingRegisters WorkedTiming() {
  TimingRegisters r;
  r.DB = 0xDB78;
  return r;
}

std::vector<RegisterAccess> Reads(std::initializer_list<std::uint16_t> selects) {
  std::vector<RegisterAccess> log;
  for (std::uint16_t s : selects) log.push_back(Read(s));
  return log;
}

const std::vector<RegisterAccess> kClockReads =
    Reads({0xF200, 0xD100, 0xCF00, 0xD000, 0xD300, 0xD400, 0xCE00, 0xA000, 0xCB00, 0xD800, 0xD900,
           0xDA00, 0xDB00, 0x8000});
const std::vector<RegisterAccess> kRateReads =
    Reads({0xF200, 0xD100, 0xCF00, 0xD000, 0xD300, 0xD400, 0xCE00, 0xA000, 0xCB00, 0xD800, 0xD900,
           0xDA00, 0xDB00});
const std::vector<RegisterAccess> kSearchReads =
    Reads({0xF200, 0xD100, 0xCF00, 0xD000, 0xD300, 0xD400, 0xCE00, 0xD800, 0xD900, 0xDA00, 0xDB00,
           0xA800, 0xAC00, 0xCC00, 0xCD00});
const std::vector<RegisterAccess> kExposureMaxReads = Reads({0xDA00, 0xDB00, 0xCB00, 0xFC00});

// The search written the obvious way, for comparison.
SensorMath::LineAndRowFields SearchByEveryPair(const TimingRegisters& r, std::uint16_t A8,
                                               std::uint16_t AC, std::uint16_t CC, std::uint16_t CD,
                                               std::uint32_t target) {
  const std::uint32_t a0 = std::max(A8 & 0x3FFu, AC & 0x3FFu);
  const std::uint32_t c0 = std::max(CC & 0xFFu, CD & 0xFFu);
  SensorMath::LineAndRowFields best{a0, c0};
  std::uint32_t bestDistance = 0xFFFFFFFFu;
  for (std::uint32_t a = a0; a <= 1023; ++a) {
    for (std::uint32_t c = c0; c <= 255; ++c) {
      const std::uint32_t p =
          static_cast<std::uint32_t>(SensorMath::RowsWith(r, c)) * SensorMath::LineLengthWith(r, a);
      const std::uint32_t d = p > target ? p - target : target - p;
      if (d < bestDistance) {
        bestDistance = d;
        best = {a, c};
      }
    }
  }
  return best;
}

}  // namespace

// --- Pure arithmetic -------------------------------------------------------

TEST(SensorMathTiming, WorkedExampleRowsAndLine) {
  TimingRegisters r = WorkedTiming();
  r.A0 = 0xA109;
  r.CB = 0xCBA2;
  EXPECT_EQ(SensorMath::Rows(r), 1250);
  EXPECT_EQ(SensorMath::LineLength(r), 1152u);
  EXPECT_EQ(SensorMath::FramePeriod(r), 1'440'000u);
  EXPECT_EQ(SensorMath::ExposureMaxRows(r.DA, r.DB, r.CB), 1249u);
}

TEST(SensorMathTiming, LineLengthTakesTheLargerTerm) {
  TimingRegisters r;
  r.D3 = 0xD301;
  r.D1 = 0xD102;
  r.CE = 0xCE03;  // E = 32 * 3 - 8
  r.CF = 0xCF04;
  r.D0 = 0xD005;
  r.F2 = 0xF2FF;  // only the low 2 bits count
  r.D4 = 0xD406;
  r.D9 = 0xD985;  // 5 after the 7-bit mask
  r.D8 = 0xD802;
  // B = 32 + 16 + 88 + 96 + 72 + 36 = 340; A = 16 + 4a + 32 * 1 + 92.
  r.A0 = 0xA00A;
  EXPECT_EQ(SensorMath::LineLength(r), 340u);
  r.A0 = 0xA064;
  EXPECT_EQ(SensorMath::LineLength(r), 540u);
  // t = (2 - 5) / 2 truncates towards zero to -1.
  r.D9 = 0xD902;
  r.D8 = 0xD805;
  EXPECT_EQ(SensorMath::LineLengthWith(r, 100), 16u + 400 - 32 + 92);
  // CE = 0 drops the E term entirely.
  r.CE = 0xCE00;
  EXPECT_EQ(SensorMath::LineLengthWith(r, 0), 340u - 88);
}

TEST(SensorMathTiming, NegativeLineTermComparesUnsigned) {
  TimingRegisters r;
  r.D8 = 0xD87F;  // t = -63: A = 32 * -63 + 92 = -1924
  EXPECT_EQ(SensorMath::LineLengthWith(r, 0), static_cast<std::uint32_t>(-1924));
}

TEST(SensorMathTiming, ExposureClocksNeedsFieldBelowRows) {
  TimingRegisters r = WorkedTiming();
  r.A0 = 0xA109;
  r.CB = 0xCBA2;
  std::uint32_t clocks = 5;
  EXPECT_TRUE(SensorMath::ExposureClocks(r, 0x80F9, clocks));
  EXPECT_EQ(clocks, 1152u * 1001);
  EXPECT_TRUE(SensorMath::ExposureClocks(r, 0x8000 + 1249, clocks));
  EXPECT_EQ(clocks, 1152u);
  clocks = 5;
  EXPECT_FALSE(SensorMath::ExposureClocks(r, 0x8000 + 1250, clocks));
  EXPECT_EQ(clocks, 5u);
}

TEST(SensorMathTiming, ExposureWordsAndRows) {
  EXPECT_EQ(SensorMath::ExposureWord(1249, 1000), 0x80F9);
  EXPECT_EQ(SensorMath::ExposureWord(1249, 5000), 0x8000);
  EXPECT_EQ(SensorMath::ExposureWord(1249, 0), 0x8000 + 1249);
  EXPECT_EQ(SensorMath::ExposureRows(1249, 0x80F9), 1000u);
  EXPECT_EQ(SensorMath::ExposureRows(1249, 0x87FF), 0u);
}

TEST(SensorMathTiming, FramePeriodTargetRoundsHalfToEven) {
  std::uint32_t target = 0;
  ASSERT_TRUE(SensorMath::FramePeriodTarget(36.0, 50.0, false, target));
  EXPECT_EQ(target, 1'440'000u);
  ASSERT_TRUE(SensorMath::FramePeriodTarget(36.0, 50.0, true, target));
  EXPECT_EQ(target, 2'880'000u);
  // 19,531,250 / 4 = 4,882,812.5: the tie goes to the even neighbour.
  ASSERT_TRUE(SensorMath::FramePeriodTarget(9.765625, 4.0, false, target));
  EXPECT_EQ(target, 4'882'812u);
  // Only the low 32 bits of a long period count: 7,200,000,000 clocks.
  ASSERT_TRUE(SensorMath::FramePeriodTarget(36.0, 0.01, false, target));
  EXPECT_EQ(target, static_cast<std::uint32_t>(7'200'000'000ull));
}

TEST(SensorMathTiming, FramePeriodTargetRefusesUnusableRates) {
  std::uint32_t target = 7;
  EXPECT_FALSE(SensorMath::FramePeriodTarget(36.0, 0.0, false, target));
  EXPECT_FALSE(SensorMath::FramePeriodTarget(36.0, -1.0, false, target));
  EXPECT_FALSE(SensorMath::FramePeriodTarget(36.0, std::nan(""), false, target));
  // A period beyond 64 bits has no integer value to keep.
  EXPECT_FALSE(SensorMath::FramePeriodTarget(36.0, 1e-300, false, target));
  EXPECT_EQ(target, 7u);
}

TEST(SensorMathSearch, WorkedExample) {
  const auto best =
      SensorMath::SearchFramePeriod(WorkedTiming(), 0xA800, 0xAC00, 0xCC00, 0xCD00, 1'440'000);
  EXPECT_EQ(best.a, 265u);
  EXPECT_EQ(best.c, 162u);
}

TEST(SensorMathSearch, TiesKeepTheSmallestPair) {
  // Rows 1088 + c; a = 0 and a = 1 both give a line of 96 clocks, and the
  // target lies halfway between c = 12 and c = 13.
  const std::uint32_t target = 96 * 1100 + 48;
  auto best = SensorMath::SearchFramePeriod(WorkedTiming(), 0xA800, 0xAC00, 0xCC00, 0xCD00, target);
  EXPECT_EQ(best.a, 0u);
  EXPECT_EQ(best.c, 12u);
  // Lower bounds from 0xA8/0xAC and 0xCC/0xCD (the larger of each pair).
  best = SensorMath::SearchFramePeriod(WorkedTiming(), 0xA801, 0xAC00, 0xCC00, 0xCD00, target);
  EXPECT_EQ(best.a, 1u);
  EXPECT_EQ(best.c, 12u);
  best = SensorMath::SearchFramePeriod(WorkedTiming(), 0xA800, 0xAC00, 0xCC05, 0xCD0D, target);
  EXPECT_EQ(best.a, 0u);
  EXPECT_EQ(best.c, 13u);
}

TEST(SensorMathSearch, RunsPreferTheEarlierOfTwoEquallyNearPeriods) {
  using SensorMath::detail::NearestInFallingRun;
  using SensorMath::detail::NearestInRisingRun;
  // Periods 100, 110, ..., 150.
  EXPECT_EQ(NearestInRisingRun(100, 10, 5, 115).step, 1u);
  EXPECT_EQ(NearestInRisingRun(100, 10, 5, 115).distance, 5u);
  EXPECT_EQ(NearestInRisingRun(100, 10, 5, 116).step, 2u);
  EXPECT_EQ(NearestInRisingRun(100, 10, 5, 99).step, 0u);
  EXPECT_EQ(NearestInRisingRun(100, 10, 5, 200).step, 5u);
  EXPECT_EQ(NearestInRisingRun(100, 10, 5, 200).distance, 50u);
  EXPECT_EQ(NearestInRisingRun(100, 0, 5, 7).step, 0u);
  // Periods 200, 190, ..., 150.
  EXPECT_EQ(NearestInFallingRun(200, 10, 5, 185).step, 1u);
  EXPECT_EQ(NearestInFallingRun(200, 10, 5, 185).distance, 5u);
  EXPECT_EQ(NearestInFallingRun(200, 10, 5, 184).step, 2u);
  EXPECT_EQ(NearestInFallingRun(200, 10, 5, 201).step, 0u);
  EXPECT_EQ(NearestInFallingRun(200, 10, 5, 100).step, 5u);
  EXPECT_EQ(NearestInFallingRun(200, 10, 5, 100).distance, 50u);
}

TEST(SensorMathSearch, BoundsAtTheTop) {
  // Only the single pair (1023, 255) is left to choose.
  const auto best =
      SensorMath::SearchFramePeriod(WorkedTiming(), 0xABFF, 0xAC00, 0xCCFF, 0xCD00, 0);
  EXPECT_EQ(best.a, 1023u);
  EXPECT_EQ(best.c, 255u);
}

TEST(SensorMathSearch, AgreesWithTheSearchOverEveryPair) {
  std::mt19937 random(2024);
  auto byte = [&](std::uint16_t select) {
    return static_cast<std::uint16_t>(select | (random() & 0xFF));
  };
  auto tenBits = [&](std::uint16_t select, std::uint32_t limit) {
    return static_cast<std::uint16_t>(select | (random() % limit));
  };
  for (int round = 0; round < 120; ++round) {
    SCOPED_TRACE(round);
    TimingRegisters r;
    r.F2 = byte(0xF200);
    r.D1 = byte(0xD100);
    r.CF = byte(0xCF00);
    r.D0 = byte(0xD000);
    r.D3 = byte(0xD300);
    r.D4 = byte(0xD400);
    r.CE = round % 3 == 0 ? 0xCE00 : byte(0xCE00);
    r.D8 = byte(0xD800);
    r.D9 = byte(0xD900);
    r.DA = byte(0xDA00);
    r.DB = byte(0xDB00);
    std::uint16_t a8 = tenBits(0xA800, 1024), ac = tenBits(0xAC00, 600);
    std::uint16_t cc = byte(0xCC00), cd = static_cast<std::uint16_t>(0xCD00 | (random() % 64));
    switch (round % 5) {
      case 1:  // lines of nearly 2^32 clocks (A negative) for small a
        r.D1 = 0xD100;
        r.D8 = 0xD87F;
        r.D9 = 0xD900;
        a8 = 0xA800;
        ac = 0xAC00;
        break;
      case 2:  // rows that cross zero within the range of c
        r.DA = 0xDA0A;
        r.DB = 0xDB00;
        cc = 0xCC00;
        cd = 0xCD00;
        break;
      case 3:  // rows negative throughout
        r.DA = 0xDA7F;
        r.DB = 0xDB01;
        break;
      case 4:  // both: falling periods that wrap past 0
        r.D1 = 0xD100;
        r.D8 = 0xD87F;
        r.D9 = 0xD900;
        r.DA = 0xDA0A;
        r.DB = 0xDB00;
        a8 = 0xA800;
        ac = 0xAC00;
        cc = 0xCC00;
        cd = 0xCD00;
        break;
      default: break;
    }
    // Half of the targets are periods that some pair reaches exactly.
    std::uint32_t target = random();
    if (round % 7 == 0)
      target = round % 2 == 0 ? 0 : 0xFFFFFFFFu;
    else if (round % 2 == 0)
      target = static_cast<std::uint32_t>(SensorMath::RowsWith(r, 200 + random() % 56)) *
               SensorMath::LineLengthWith(r, 600 + random() % 424);
    const auto fast = SensorMath::SearchFramePeriod(r, a8, ac, cc, cd, target);
    const auto slow = SearchByEveryPair(r, a8, ac, cc, cd, target);
    EXPECT_EQ(fast.a, slow.a);
    EXPECT_EQ(fast.c, slow.c);
  }
}

TEST(SensorMathGain, ReadBackIsExactForEveryUnit) {
  for (std::int32_t units = SensorMath::kGainMinUnits; units <= SensorMath::kGainMaxUnits;
       ++units) {
    const auto w = SensorMath::GainWordsFor(units);
    EXPECT_EQ(w[1] & 0xFF, w[2] & 0xFF);  // 0xEC and 0x6C carry the same step
    EXPECT_NEAR(SensorMath::GainDb(w[4], w[0], w[1], w[3]), 0.006 * units, kTolerance) << units;
  }
}

TEST(SensorMathGain, ModeBitThreeDoublesTheModeTerm) {
  // 3 * 2 + 2 * (3 * 2 - 3) + 6 * 4 - 24 + 0.006 * 100
  EXPECT_NEAR(SensorMath::GainDb(0xEB0A, 0xB844, 0xEC02, 0xB064), 12.6, kTolerance);
  EXPECT_NEAR(SensorMath::GainDb(0xEB02, 0xB844, 0xEC02, 0xB064), 9.6, kTolerance);
}

// --- Driver functions over the register file ------------------------------

class Sensor : public fake::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    device->SetRegister(0xDB78);               // 0xDB = 120, everything else 0
    device->ReplyU32(QDV_IOCTL_FREQUENCY, 4);  // 36 MHz
    device->ReplyU32(QDV_IOCTL_SDRAM_STATUS, 0);
  }

  // The registers after the worked 50 fps setting and 1000 exposure rows.
  void SetWorkedTiming() {
    device->SetRegister(0xA109);
    device->SetRegister(0xCBA2);
    device->SetRegister(0x80F9);
  }

  void ExpectLog(const std::vector<RegisterAccess>& expected) {
    EXPECT_EQ(device->registerLog, expected);
  }
};

std::vector<RegisterAccess> operator+(std::vector<RegisterAccess> a,
                                      const std::vector<RegisterAccess>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(Sensor, SetFrameRateWorkedExample) {
  PresetLastError();
  EXPECT_NE(SetFrameRate(handle, 50.0), 0);
  EXPECT_EQ(GetLastError(), kUntouchedError);
  ExpectLog(kSearchReads + std::vector{Write(0xA109), Write(0xCBA2)});
  // The frequency and the SDRAM status come first.
  ASSERT_GE(device->requests.size(), 2u);
  EXPECT_EQ(device->requests[0].code, QDV_IOCTL_FREQUENCY);
  EXPECT_EQ(device->requests[1].code, QDV_IOCTL_SDRAM_STATUS);

  device->registerLog.clear();
  device->requests.clear();
  double fps = 0;
  EXPECT_NE(GetFrameRate(handle, &fps), 0);
  EXPECT_NEAR(fps, 50.0, kTolerance);
  ExpectLog(kRateReads);
  ASSERT_EQ(device->requests.size(), 15u);
  EXPECT_EQ(device->requests.front().code, QDV_IOCTL_FREQUENCY);
  EXPECT_EQ(device->requests.back().code, QDV_IOCTL_SDRAM_STATUS);
}

TEST_F(Sensor, SdramModeDoublesThePeriodAndHalvesTheRate) {
  device->ReplyU32(QDV_IOCTL_SDRAM_STATUS, 1);
  EXPECT_NE(SetFrameRate(handle, 50.0), 0);
  // Target 2,880,000: a = 553 (line 2304) and c = 162 (1250 rows).
  ExpectLog(kSearchReads + std::vector{Write(0xA229), Write(0xCBA2)});
  SetWorkedTiming();
  double fps = 0;
  EXPECT_NE(GetFrameRate(handle, &fps), 0);
  EXPECT_NEAR(fps, 25.0, kTolerance);
}

TEST_F(Sensor, SetFramePeriodClocksWritesTheNearestPair) {
  EXPECT_NE(SetFramePeriodClocks(handle, 1'440'000), 0);
  ExpectLog(kSearchReads + std::vector{Write(0xA109), Write(0xCBA2)});
  // Registers 0xA0 and 0xCB are not read: their present values do not matter.
  device->registerLog.clear();
  device->SetRegister(0xA3FF);
  device->SetRegister(0xCBFF);
  EXPECT_NE(SetFramePeriodClocks(handle, 1'440'000), 0);
  ExpectLog(kSearchReads + std::vector{Write(0xA109), Write(0xCBA2)});
}

TEST_F(Sensor, SetFramePeriodClocksFailures) {
  device->failReads = {0xCD00};
  EXPECT_EQ(SetFramePeriodClocks(handle, 1'440'000), 0);
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  ExpectLog(kSearchReads);  // all tried, nothing written

  device->failReads.clear();
  device->registerLog.clear();
  device->failWrites = {0xA109};
  EXPECT_EQ(SetFramePeriodClocks(handle, 1'440'000), 0);
  ExpectLog(kSearchReads + std::vector{Write(0xA109)});

  device->failWrites = {0xCBA2};
  device->registerLog.clear();
  EXPECT_EQ(SetFramePeriodClocks(handle, 1'440'000), 0);
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  ExpectLog(kSearchReads + std::vector{Write(0xA109), Write(0xCBA2)});
}

TEST_F(Sensor, SetFrameRateRefusals) {
  for (double fps : {0.0, -5.0, std::nan("")}) {
    PresetLastError();
    EXPECT_EQ(SetFrameRate(handle, fps), 0) << fps;
    EXPECT_EQ(GetLastError(), kUntouchedError);
  }
  EXPECT_TRUE(device->registerLog.empty());
  EXPECT_EQ(device->requests.size(), 6u);  // frequency and SDRAM status each time

  // An unknown clock code fails without a last error and reads nothing more.
  device->requests.clear();
  device->ReplyU32(QDV_IOCTL_FREQUENCY, 9);
  PresetLastError();
  EXPECT_EQ(SetFrameRate(handle, 50.0), 0);
  EXPECT_EQ(GetLastError(), kUntouchedError);
  EXPECT_EQ(device->requests.size(), 1u);

  device->ReplyU32(QDV_IOCTL_FREQUENCY, 4);
  device->failCodes = {QDV_IOCTL_SDRAM_STATUS};
  EXPECT_EQ(SetFrameRate(handle, 50.0), 0);
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  EXPECT_TRUE(device->registerLog.empty());
}

TEST_F(Sensor, GetFrameRateFailures) {
  double fps = -1;
  // A frame period of 0 (rows 9 * (0 - 1) + 1 + 8 = 0).
  device->SetRegister(0xDB00);
  device->SetRegister(0xDA01);
  device->SetRegister(0xCB01);
  PresetLastError();
  EXPECT_EQ(GetFrameRate(handle, &fps), 0);
  EXPECT_EQ(GetLastError(), kUntouchedError);
  EXPECT_EQ(fps, -1);

  SetWorkedTiming();
  device->SetRegister(0xDB78);
  device->SetRegister(0xDA00);
  device->failCodes = {QDV_IOCTL_SDRAM_STATUS};
  EXPECT_EQ(GetFrameRate(handle, &fps), 0);
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  device->failCodes.clear();
  device->failReads = {0xD900};
  EXPECT_EQ(GetFrameRate(handle, &fps), 0);
  EXPECT_EQ(fps, -1);
  device->failReads.clear();
  EXPECT_NE(GetFrameRate(handle, &fps), 0);
  EXPECT_NEAR(fps, 50.0, kTolerance);
}

TEST_F(Sensor, ExposureWorkedExample) {
  SetWorkedTiming();
  device->SetRegister(0x8000);
  EXPECT_NE(SetExposure(handle, 1000), 0);
  ExpectLog(kExposureMaxReads + std::vector{Write(0x80F9)});

  device->registerLog.clear();
  DWORD clocks = 0;
  EXPECT_NE(GetExposureClocks(handle, &clocks), 0);
  EXPECT_EQ(clocks, 1'153'152u);
  ExpectLog(kClockReads);

  double ms = 0;
  EXPECT_NE(GetExposureMs(handle, &ms), 0);
  EXPECT_NEAR(ms, 16.016, kTolerance);

  device->registerLog.clear();
  DWORD rows = 0;
  EXPECT_NE(GetExposure(handle, &rows), 0);
  EXPECT_EQ(rows, 1000u);
  ExpectLog(kExposureMaxReads + Reads({0x8000}));

  DWORD min = 9, max = 0;
  EXPECT_NE(GetExposureMinMax(handle, &min, &max), 0);
  EXPECT_EQ(min, 0u);
  EXPECT_EQ(max, 1249u);
}

TEST_F(Sensor, ExposureLimits) {
  SetWorkedTiming();
  EXPECT_NE(SetExposure(handle, 5000), 0);
  EXPECT_EQ(device->registerLog.back(), Write(0x8000));
  EXPECT_NE(SetExposure(handle, 0), 0);
  EXPECT_EQ(device->registerLog.back(), Write(0x8000 + 1249));
  device->SetRegister(0x87FF);  // field 2047, above max
  DWORD rows = 77;
  EXPECT_NE(GetExposure(handle, &rows), 0);
  EXPECT_EQ(rows, 0u);
}

TEST_F(Sensor, LineAndFrameClocksAndTimes) {
  SetWorkedTiming();
  DWORD line = 0, frame = 0;
  EXPECT_NE(GetLineAndFrameClocks(handle, &line, &frame), 0);
  EXPECT_EQ(line, 1152u);
  EXPECT_EQ(frame, 1'440'000u);
  ExpectLog(kClockReads);
  double lineMs = 0, frameMs = 0;
  EXPECT_NE(GetLineAndFrameTime(handle, &lineMs, &frameMs), 0);
  EXPECT_NEAR(lineMs, 0.016, kTolerance);
  EXPECT_NEAR(frameMs, 20.0, kTolerance);
}

// A loaded register set can make line term B the larger, with D3 and D4
// apart: each must be read into its own place.
TEST_F(Sensor, LineTermBOfALoadedRegisterSet) {
  SetWorkedTiming();            // A = 1152 clocks, 1250 rows
  device->SetRegister(0xD330);  // B = 32 * 48 + 96 + 4 * 3 = 1644
  device->SetRegister(0xD403);
  DWORD line = 0, frame = 0;
  EXPECT_NE(GetLineAndFrameClocks(handle, &line, &frame), 0);
  EXPECT_EQ(line, 1644u);
  EXPECT_EQ(frame, 1644u * 1250);
}

TEST_F(Sensor, ExposureFieldAtRowsFailsAndClearsTheClocks) {
  SetWorkedTiming();
  for (std::uint16_t field : {0x8000 + 1250, 0x87FF}) {
    device->SetRegister(static_cast<std::uint16_t>(field));
    DWORD line = 99, frame = 99, clocks = 99;
    EXPECT_EQ(GetLineAndFrameClocks(handle, &line, &frame), 0);
    EXPECT_EQ(line, 0u);
    EXPECT_EQ(frame, 0u);
    EXPECT_EQ(GetExposureClocks(handle, &clocks), 0);
    EXPECT_EQ(clocks, 0u);
    double ms = -1, lineMs = -1, frameMs = -1;
    EXPECT_EQ(GetExposureMs(handle, &ms), 0);
    EXPECT_EQ(GetLineAndFrameTime(handle, &lineMs, &frameMs), 0);
    EXPECT_EQ(ms, -1);
    EXPECT_EQ(lineMs, -1);
  }
}

TEST_F(Sensor, FailedReadsLeaveOutputs) {
  SetWorkedTiming();
  device->failReads = {0x8000};
  DWORD line = 99, frame = 99, clocks = 99, rows = 99, min = 99, max = 99;
  EXPECT_EQ(GetLineAndFrameClocks(handle, &line, &frame), 0);
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  EXPECT_EQ(GetExposureClocks(handle, &clocks), 0);
  EXPECT_EQ(GetExposure(handle, &rows), 0);
  EXPECT_EQ(line + frame + clocks + rows, 4u * 99);
  device->failReads = {0xFC00};
  EXPECT_EQ(GetExposureMinMax(handle, &min, &max), 0);
  EXPECT_EQ(SetExposure(handle, 10), 0);
  EXPECT_EQ(min + max, 2u * 99);
  EXPECT_EQ(device->registerLog.back(), Read(0xFC00));  // nothing written
  device->failCodes = {QDV_IOCTL_FREQUENCY};
  double ms = -1;
  EXPECT_EQ(GetExposureMs(handle, &ms), 0);
  EXPECT_EQ(ms, -1);
}

// --- Gain ------------------------------------------------------------------

struct GainCase {
  std::int32_t units;
  SensorMath::GainWords words;
  double db;
};

class Gain : public Sensor, public ::testing::WithParamInterface<GainCase> {};

TEST_P(Gain, WritesTheWantedWords) {
  const GainCase& g = GetParam();
  EXPECT_EQ(SensorMath::GainWordsFor(g.units), g.words);
  // Registers that differ from every wanted word, so all five are written.
  for (std::uint16_t word : {0xB8FF, 0xECFF, 0x6CFF, 0xB3FF, 0xEBFF})
    device->SetRegister(static_cast<std::uint16_t>(word));
  EXPECT_NE(SetGain(handle, g.units), 0);
  ExpectLog({Read(0xB800), Write(g.words[0]), Read(0xEC00), Write(g.words[1]), Read(0x6C00),
             Write(g.words[2]), Read(0xB000), Write(g.words[3]), Read(0xEB00), Write(g.words[4])});

  device->registerLog.clear();
  double db = 0;
  EXPECT_NE(GetGain(handle, &db), 0);
  EXPECT_NEAR(db, g.db, kTolerance);
  ExpectLog(Reads({0xEB00, 0xB800, 0xEC00, 0x6C00, 0xB000}));

  // The same gain again: every register reads back as wanted.
  device->registerLog.clear();
  EXPECT_NE(SetGain(handle, g.units), 0);
  ExpectLog(Reads({0xB800, 0xEC00, 0x6C00, 0xB000, 0xEB00}));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, Gain,
    ::testing::Values(GainCase{5000, {0xB844, 0xEC66, 0x6C66, 0xB1F4, 0xEBF2}, 24.0},
                      GainCase{4000, {0xB844, 0xEC66, 0x6C66, 0xB1F4, 0xEBF2}, 24.0},
                      GainCase{0, {0xB844, 0xEC00, 0x6C00, 0xB000, 0xEBF1}, 0.0},
                      GainCase{-1, {0xB844, 0xEC00, 0x6C00, 0xB1F3, 0xEBF0}, -0.006},
                      GainCase{-600, {0xB833, 0xEC00, 0x6C00, 0xB190, 0xEBF1}, -3.6},
                      GainCase{-4000, {0xB811, 0xEC00, 0x6C00, 0xB000, 0xEBF0}, -21.0},
                      GainCase{3700, {0xB844, 0xEC66, 0x6C66, 0xB0C8, 0xEBF2}, 22.2}));

TEST_F(Sensor, GetGainAfterSetGainForEveryUnit) {
  for (std::int32_t units = -3500; units <= 4000; ++units) {
    ASSERT_NE(SetGain(handle, units), 0) << units;
    double db = 1e9;
    ASSERT_NE(GetGain(handle, &db), 0);
    EXPECT_NEAR(db, 0.006 * units, kTolerance) << units;
  }
}

TEST_F(Sensor, SetGainCountsAFailedReadAsZero) {
  // 0xEC already holds the wanted word, but its read fails.
  device->SetRegister(0xB844);
  device->SetRegister(0xEC00);
  device->SetRegister(0x6C00);
  device->SetRegister(0xB000);
  device->SetRegister(0xEBF1);
  device->failReads = {0xEC00};
  EXPECT_NE(SetGain(handle, 0), 0);
  ExpectLog({Read(0xB800), Read(0xEC00), Write(0xEC00), Read(0x6C00), Read(0xB000), Read(0xEB00)});
}

TEST_F(Sensor, SetGainStopsAtAFailedWrite) {
  device->failWrites = {0x6C66};
  EXPECT_EQ(SetGain(handle, 4000), 0);
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  ExpectLog(
      {Read(0xB800), Write(0xB844), Read(0xEC00), Write(0xEC66), Read(0x6C00), Write(0x6C66)});
  EXPECT_EQ(device->Register(0xEC00), 0xEC66);  // words already written stay
}

TEST_F(Sensor, GetGainFailure) {
  device->failReads = {0xB000};
  double db = -1;
  EXPECT_EQ(GetGain(handle, &db), 0);
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
  EXPECT_EQ(db, -1);
}

// --- Black level -----------------------------------------------------------

TEST_F(Sensor, BlackLevelValue) {
  EXPECT_NE(SetBlackLevelValue(handle, 0x7F), 0);
  ExpectLog({Write(0xC67F)});
  std::uint8_t value = 0;
  EXPECT_NE(GetBlackLevelValue(handle, &value), 0);
  EXPECT_EQ(value, 0x7F);
  EXPECT_EQ(device->registerLog.back(), Read(0xC600));
  device->failReads = {0xC600};
  value = 3;
  EXPECT_EQ(GetBlackLevelValue(handle, &value), 0);
  EXPECT_EQ(value, 3);
  device->failWrites = {0xC605};
  EXPECT_EQ(SetBlackLevelValue(handle, 5), 0);
  EXPECT_EQ(GetLastError(), ERROR_IO_DEVICE);
}

TEST_F(Sensor, BlackLevelStatusKeepsOtherBits) {
  device->SetRegister(0xFC05);
  DWORD manual = 9;
  EXPECT_NE(GetBlackLevelStatus(handle, &manual), 0);
  EXPECT_EQ(manual, 0u);
  EXPECT_NE(SetBlackLevelStatus(handle, 7), 0);
  ExpectLog({Read(0xFC00), Read(0xFC00), Write(0xFC07)});
  EXPECT_NE(GetBlackLevelStatus(handle, &manual), 0);
  EXPECT_EQ(manual, 1u);
  EXPECT_NE(SetBlackLevelStatus(handle, 0), 0);
  EXPECT_EQ(device->registerLog.back(), Write(0xFC05));

  device->registerLog.clear();
  device->failReads = {0xFC00};
  EXPECT_EQ(SetBlackLevelStatus(handle, 1), 0);
  EXPECT_EQ(GetBlackLevelStatus(handle, &manual), 0);
  EXPECT_EQ(manual, 1u);  // as it was
  ExpectLog(Reads({0xFC00, 0xFC00}));
}

// --- Closed handle and missing outputs ---------------------------------------

TEST_F(Sensor, ClosedHandleFailsWith87AndSendsNothing) {
  const DeviceHandle h = INVALID_HANDLE_VALUE;
  DWORD u = 5, v = 5;
  double d = 5, e = 5;
  std::uint8_t b = 5;
  // clang-format off
  const BOOL results[] = {
      GetLineAndFrameClocks(h, &u, &v), GetLineAndFrameTime(h, &d, &e), GetExposureClocks(h, &u),
      GetExposureMs(h, &d),             GetExposureMinMax(h, &u, &v),   SetExposure(h, 1),
      GetExposure(h, &u),               SetFrameRate(h, 50),            SetFramePeriodClocks(h, 1),
      GetFrameRate(h, &d),              GetGain(h, &d),                 SetGain(h, 0),
      GetBlackLevelValue(h, &b),        SetBlackLevelValue(h, 1),       GetBlackLevelStatus(h, &u),
      SetBlackLevelStatus(h, 1)};
  // clang-format on
  for (BOOL result : results) EXPECT_EQ(result, 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(device->requests.empty());
  EXPECT_EQ(u + v + b, 15u);
  EXPECT_EQ(d + e, 10);
}

TEST_F(Sensor, MissingOutputsAreRefused) {
  DWORD u = 0;
  double d = 0;
  const BOOL results[] = {GetLineAndFrameClocks(handle, &u, nullptr),
                          GetLineAndFrameTime(handle, nullptr, &d),
                          GetExposureClocks(handle, nullptr),
                          GetExposureMs(handle, nullptr),
                          GetExposureMinMax(handle, nullptr, &u),
                          GetExposure(handle, nullptr),
                          GetFrameRate(handle, nullptr),
                          GetGain(handle, nullptr),
                          GetBlackLevelValue(handle, nullptr),
                          GetBlackLevelStatus(handle, nullptr)};
  for (BOOL result : results) EXPECT_EQ(result, 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(device->requests.empty());
}
