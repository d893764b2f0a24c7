// The live render on its own, without controller or windows: what each
// outlet is handed for a frame with every request pending, and that
// requests without an outlet are only cleared.
#include <gtest/gtest.h>

#include <QStringList>

#include <vector>

#include "APP/render/LiveRender.h"
#include "APP/tests/AppTestSupport.h"

namespace {

TEST(LiveRender, EachOutletGetsItsPartOfTheFrame) {
  TestApplication();
  // 12-bit packed 8 x 4 frame: a grey picture in mode 0, 24-bit in mode 4,
  // half size in mode 7 (preview); zoom -2 halves the drawn size again.
  const std::vector<std::uint8_t> frame(8 * 4 * 3 / 2, 0x9C);
  const struct {
    std::int32_t mode;
    QStringList calls;
  } cases[] = {
      {0, {"raw 8x4/12", "wb 8x4/12", "present 8x4/8 at 4", "copy 8/24", "save 8", "rgb 8"}},
      {4,
       {"raw 8x4/12", "wb 8x4/12", "present 8x4/24 at 4", "copy 8/24", "save 8", "tool 8",
        "rgb 24"}},
      {7,
       {"raw 8x4/12", "wb 8x4/12", "present 4x2/24 at 2", "copy 4/24", "save 4", "tool 4",
        "rgb 24"}},
  };
  for (const auto& c : cases) {
    TLiveRender render;
    render.FillDisplayTables();
    render.Zoom = -2;
    QStringList calls;
    TRenderOutlets& o = render.Outlets;
    o.rawHistogram = [&](const TRenderFrame& f) {
      calls << QStringLiteral("raw %1x%2/%3").arg(f.width).arg(f.height).arg(f.rawBits);
    };
    o.whiteBalance = [&](const TRenderFrame& f) {
      calls << QStringLiteral("wb %1x%2/%3").arg(f.width).arg(f.height).arg(f.rawBits);
    };
    o.present = [&](const TRenderFrame& f, int drawnWidth, int) {
      calls << QStringLiteral("present %1x%2/%3 at %4")
                   .arg(f.width)
                   .arg(f.height)
                   .arg(f.pictureBits)
                   .arg(drawnWidth);
    };
    o.copy = [&](int w, int, const std::uint8_t* picture, const TBitmapInfo& info) {
      EXPECT_EQ(picture, render.Image24);
      calls << QStringLiteral("copy %1/%2").arg(w).arg(info.bmiHeader.biBitCount);
    };
    o.save = [&](int w, int, const std::uint8_t*) { calls << QStringLiteral("save %1").arg(w); };
    o.correctionTool = [&](int w, int, const std::uint8_t*) {
      calls << QStringLiteral("tool %1").arg(w);
    };
    o.rgbHistogram = [&](const TRenderFrame& f) {
      calls << QStringLiteral("rgb %1").arg(f.pictureBits);
    };
    render.RAWHistogramOn = render.RGBHistogramOn = true;
    render.WhiteBalancePending = render.CopyPending = render.SavePending =
        render.CorrectionToolPending = true;
    ASSERT_TRUE(render.RenderFrame(2, frame.data(), static_cast<std::uint32_t>(frame.size()), 8, 4,
                                   c.mode));
    EXPECT_EQ(calls, c.calls) << c.mode;
    EXPECT_FALSE(render.WhiteBalancePending || render.CopyPending || render.SavePending ||
                 render.CorrectionToolPending);
    EXPECT_EQ(render.FrameCount, 1);

    // Without outlets the requests are still served, that is cleared.
    render.Outlets = {};
    render.CopyPending = render.SavePending = render.CorrectionToolPending = true;
    EXPECT_TRUE(render.RenderFrame(2, frame.data(), static_cast<std::uint32_t>(frame.size()), 8, 4,
                                   c.mode));
    EXPECT_FALSE(render.CopyPending || render.SavePending || render.CorrectionToolPending);
    EXPECT_EQ(render.FrameCount, 2);
  }
}

}  // namespace
