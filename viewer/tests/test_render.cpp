// The render steps: zoom codes and drawn sizes, the demosaicing mode, the
// 8-bit mapping's extent, the per-channel RAW tables and both white
// balances.
#include <QAction>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTest>
#include <QToolButton>

#include "common/Zoom.h"
#include "viewer/RenderSteps.h"
#include "viewer/tests/ViewerTestSupport.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new ViewerEnvironment);

class FakeSettings : public IViewerSettings {
 public:
  void SetDebayerSelection(std::int32_t mode) override { debayer = mode; }
  void SetGainSliders(std::int32_t r, std::int32_t g, std::int32_t b) override {
    red = r, green = g, blue = b, ++gainCalls;
  }
  void ShowNonModal() override {}
  void CloseWindow() override {}
  int debayer = -1, red = 100, green = 100, blue = 100, gainCalls = 0;
};

class RenderTest : public ViewerTest {
 protected:
  void OpenFrame(std::int32_t status, int width, int height, std::vector<std::uint8_t> bytes) {
    const QString path = dir.filePath(QStringLiteral("frame.raw"));
    WriteRAWFile(path, MakeHeader(status, width, height), {Record(std::move(bytes))});
    OpenAt(path, 1);
  }
  FakeSettings settings;
};

TEST(ZoomSteps, InOutAndValidCodes) {
  const std::int32_t in[][2] = {{-4, -3}, {-3, -2}, {-2, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 4}};
  for (const auto& step : in)
    EXPECT_EQ(ZoomCodeIn(step[0], ViewerZoomCodeLargest), step[1]) << step[0];
  const std::int32_t out[][2] = {{4, 3}, {3, 2}, {2, 1}, {1, -2}, {-2, -3}, {-3, -4}, {-4, -4}};
  for (const auto& step : out) EXPECT_EQ(ZoomCodeOut(step[0]), step[1]) << step[0];
  for (std::int32_t code : {-5, -1, 0, 5, 800}) EXPECT_EQ(ValidZoom(code), 1) << code;
  EXPECT_EQ(DisplayExtent(1000, -3), 333);
  EXPECT_EQ(DisplayExtent(4393504, 4), QWIDGETSIZE_MAX);
}

TEST_F(RenderTest, ZoomSetsTheDrawnSizeAndModeSevenHalves) {
  OpenFrame(1, 1000, 4, std::vector<std::uint8_t>(4000, 128));
  form->Session.SetZoom(-3);
  EXPECT_EQ(form->VideoPanel->size(), QSize(333, 1));
  for (std::int32_t code : {0, 5}) {
    form->Session.SetZoom(code);
    EXPECT_EQ(form->Session.Zoom, 1);
    EXPECT_EQ(form->VideoPanel->size(), QSize(1000, 4));
  }
  form->Session.SetDebayerMode(7);
  form->mZoom400->trigger();
  EXPECT_EQ(form->VideoPanel->size(), QSize(2000, 8));
  EXPECT_EQ(Shown().size(), QSize(500, 2));
  form->mZoomOutClick();
  EXPECT_EQ(form->Session.Zoom, 3);
  form->bZoomClick();
  EXPECT_EQ(form->Session.Zoom, 1);
}

// Keypad keys and their main-keyboard twins each make exactly one step.
TEST_F(RenderTest, ZoomKeysStepOnce) {
  OpenFrame(1, 16, 4, std::vector<std::uint8_t>(64, 100));
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    std::int32_t zoom;
  } keys[] = {{Qt::Key_Plus, Qt::KeypadModifier, 2},   {Qt::Key_Plus, Qt::NoModifier, 3},
              {Qt::Key_Minus, Qt::KeypadModifier, 2},  {Qt::Key_Minus, Qt::NoModifier, 1},
              {Qt::Key_Minus, Qt::NoModifier, -2},     {Qt::Key_Asterisk, Qt::KeypadModifier, 1},
              {Qt::Key_Minus, Qt::KeypadModifier, -2}, {Qt::Key_Asterisk, Qt::NoModifier, 1}};
  for (const auto& k : keys) {
    QTest::keyClick(form.get(), k.key, k.modifiers);
    EXPECT_EQ(form->Session.Zoom, k.zoom) << k.key << " " << k.modifiers;
  }
}

TEST_F(RenderTest, DebayerModeOutOfRangeIsMono) {
  form->Session.Settings = &settings;
  OpenFrame(1, 16, 8, std::vector<std::uint8_t>(128, 40));
  form->Session.SetDebayerMode(9);
  EXPECT_EQ(form->Session.CurrentDebayerMode, 0);
  EXPECT_EQ(settings.debayer, 0);
  EXPECT_EQ(form->Session.FrameBitmapInfo.bmiHeader.biBitCount, 8);
  form->mDebayerLaplacian->trigger();
  EXPECT_EQ(settings.debayer, 6);
  EXPECT_EQ(form->Session.FrameBitmapInfo.bmiHeader.biBitCount, 24);
  EXPECT_EQ(form->Session.FrameBitmapInfo.bmiHeader.biHeight, -8);
}

// Every demosaicing item sets its own method (the dialog follows), by its
// key and when clicked; every item of the zoom pop-up sets its own step.
TEST_F(RenderTest, EachMenuItemSetsItsOwnModeOrZoom) {
  form->Session.Settings = &settings;
  OpenFrame(1, 16, 8, std::vector<std::uint8_t>(128, 40));
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  const char* const debayer[] = {"mDebayerMono",      "mDebayerBayer",    "mDebayerNearest",
                                 "mDebayerBin2x2",    "mDebayerBilinear", "mDebayerAdaptive",
                                 "mDebayerLaplacian", "mDebayerPreview"};
  for (int mode = 7; mode >= 0; --mode) {
    QTest::keyClick(form.get(), Qt::Key(Qt::Key_0 + mode), Qt::AltModifier);
    EXPECT_EQ(form->Session.CurrentDebayerMode, mode);
  }
  for (int mode = 0; mode < 8; ++mode) {
    form->findChild<QAction*>(debayer[mode])->trigger();
    EXPECT_EQ(form->Session.CurrentDebayerMode, mode) << debayer[mode];
    EXPECT_EQ(settings.debayer, mode) << debayer[mode];
  }
  const struct {
    const char* item;
    std::int32_t zoom;
    QSize drawn;  // of the 16 x 8 frame, halved by the Preview method
  } zoomItems[] = {{"mZoom25", -4, {2, 1}},  {"mZoom33", -3, {2, 1}},  {"mZoom50", -2, {4, 2}},
                   {"mZoom100", 1, {8, 4}},  {"mZoom200", 2, {16, 8}}, {"mZoom300", 3, {24, 12}},
                   {"mZoom400", 4, {32, 16}}};
  for (const auto& z : zoomItems) {
    form->findChild<QAction*>(z.item)->trigger();
    EXPECT_EQ(form->Session.Zoom, z.zoom) << z.item;
    EXPECT_EQ(form->VideoPanel->size(), z.drawn) << z.item;
  }
}

// The lookup maps exactly width x height samples: the bytes after them in
// Pixels8 stay as they were, for 10- and 12-bit frames alike.
TEST_F(RenderTest, LookupMapsExactlyTheFrame) {
  for (std::int32_t status : {2, 4}) {
    const int width = 32, height = 6, count = width * height;
    OpenFrame(status, width, height, std::vector<std::uint8_t>(count * 2, 0xFF));
    std::memset(form->Session.Pixels8.get(), 0xAB, RawBufferSize);
    form->Session.RepaintForm();
    EXPECT_EQ(form->Session.Pixels8[0], 0xFF) << status;
    EXPECT_EQ(form->Session.Pixels8[count - 1], 0xFF) << status;
    for (int i = count; i < count + 64; ++i) ASSERT_EQ(form->Session.Pixels8[i], 0xAB) << status;
  }
}

TEST(RAWChannelTables, EvenAndOddSizesByHand) {
  std::uint16_t blue[8], green[8], red[8];
  for (int i = 0; i < 8; ++i) blue[i] = 10 + i, green[i] = 20 + i, red[i] = 30 + i;
  // 4 x 4 of value 1 and a 5 x 3 of value 2 with a guard sample after it.
  std::vector<std::uint16_t> even(16, 1);
  ApplyRAWChannelTables(even.data(), 4, 4, blue, green, red);
  const std::vector<std::uint16_t> evenWant = {21, 11, 21, 11, 31, 21, 31, 21,
                                               21, 11, 21, 11, 31, 21, 31, 21};
  EXPECT_EQ(even, evenWant);
  std::vector<std::uint16_t> odd(16, 2);
  ApplyRAWChannelTables(odd.data(), 5, 3, blue, green, red);
  const std::vector<std::uint16_t> oddWant = {22, 12, 22, 12, 22, 32, 22, 32,
                                              22, 32, 22, 12, 22, 12, 22, 2};
  EXPECT_EQ(odd, oddWant);
}

TEST_F(RenderTest, RAWWhiteBalanceBuildsBothTableSets) {
  // A 12-bit frame whose red sites hold 1000, blue 500 and green 2000: gains
  // 2 / s, 1 / s, 4 / s with s = 0.3 * 2 + 0.59 + 0.11 * 4.
  std::vector<std::uint16_t> frame(16 * 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 16; ++x)
      frame[y * 16 + x] = (y % 2 == 0) ? (x % 2 == 0 ? 2000 : 500) : (x % 2 == 0 ? 1000 : 2000);
  form->Session.WhiteBalanceRAW(frame.data(), 16, 4, 12);
  const double s = 0.3 * 2 + 0.59 + 0.11 * 4;
  const double gains[3] = {2 / s, 1 / s, 4 / s};
  for (int c = 0; c < 3; ++c) {
    for (int i : {0, 1, 100, 1023}) {
      EXPECT_EQ(form->Session.RAWTable10[c][i],
                std::min(1023, static_cast<int>(i * gains[c] + 0.5)));
    }
    for (int i : {0, 7, 2000, 4095}) {
      EXPECT_EQ(form->Session.RAWTable12[c][i],
                std::min(4095, static_cast<int>(i * gains[c] + 0.5)));
    }
  }
  // A frame without red or blue measures nothing: the tables stay.
  std::vector<std::uint16_t> dark(64, 0);
  const std::uint16_t before = form->Session.RAWTable12[2][1000];
  form->Session.WhiteBalanceRAW(dark.data(), 16, 4, 12);
  EXPECT_EQ(form->Session.RAWTable12[2][1000], before);
}

TEST_F(RenderTest, RAWWhiteBalanceWaitsForAWideFrame) {
  OpenFrame(1, 16, 4, std::vector<std::uint8_t>(64, 100));
  form->Session.WhiteBalanceRAWPending = true;
  form->Session.RepaintForm();
  EXPECT_TRUE(form->Session.WhiteBalanceRAWPending);
  std::vector<std::uint8_t> packed(16 * 4 * 3 / 2, 0x55);
  OpenFrame(2, 16, 4, packed);
  form->Session.RepaintForm();
  EXPECT_FALSE(form->Session.WhiteBalanceRAWPending);
}

TEST_F(RenderTest, EightBitWhiteBalanceSetsTheSlidersWithTheCap) {
  form->Session.Settings = &settings;
  std::uint8_t grey[3 * 4] = {50, 50, 50, 60, 60, 60, 70, 70, 70, 80, 80, 80};
  form->Session.WhiteBalance8(grey, 4);
  EXPECT_EQ(settings.red, 100);
  EXPECT_EQ(settings.green, 100);
  EXPECT_EQ(settings.blue, 100);
  // B, G, R = 100, 100, 20: green over red 5, red gain over 2.0 -> 200.
  std::uint8_t reddish[3] = {100, 100, 20};
  form->Session.WhiteBalance8(reddish, 1);
  const double s = 0.3 * 5 + 0.59 + 0.11 * 1;
  EXPECT_EQ(settings.red, 200);
  EXPECT_EQ(settings.green, static_cast<int>(100 / s + 0.5));
  EXPECT_EQ(settings.blue, static_cast<int>(100 / s + 0.5));
  // No red at all: the ratio is not positive and nothing changes.
  std::uint8_t noRed[3] = {100, 100, 0};
  const int calls = settings.gainCalls;
  form->Session.WhiteBalance8(noRed, 1);
  EXPECT_EQ(settings.gainCalls, calls);
}

TEST_F(RenderTest, EightBitWhiteBalanceIsDroppedInModeZero) {
  form->Session.Settings = &settings;
  OpenFrame(1, 16, 4, std::vector<std::uint8_t>(64, 100));
  form->Session.WhiteBalance8Pending = true;
  form->Session.SetDebayerMode(0);
  EXPECT_FALSE(form->Session.WhiteBalance8Pending);
  form->Session.SetDebayerMode(1);
  EXPECT_EQ(settings.gainCalls, 0);
}

TEST_F(RenderTest, CommandsEnabledOnlyWithAFile) {
  EXPECT_FALSE(form->mNextFrame->isEnabled());
  EXPECT_FALSE(form->bZoom->isEnabled());
  EXPECT_TRUE(form->mOpenRAWfile->isEnabled() && form->mSettings->isEnabled() &&
              form->mAbout->isEnabled() && form->mDebayerPreview->isEnabled());
  EXPECT_FALSE(form->Session.RenderFrame());
  OpenFrame(1, 16, 4, std::vector<std::uint8_t>(64, 100));
  for (QAction* a : form->findChildren<QAction*>(QRegularExpression(QStringLiteral("^m[A-Z]")),
                                                 Qt::FindDirectChildrenOnly))
    EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
  EXPECT_FALSE(form->VideoScrollBox->widgetResizable());
  form->mVideoLoopClick();
  EXPECT_FALSE(form->Session.VideoLoop);
  EXPECT_FALSE(form->mVideoLoop->isChecked());
}

}  // namespace
