// The synthetic scene the sensor looks at, as radiance per sensor site of the
// GBRG mosaic (row 0: G B G B ..., row 1: R G R G ...).
//
// A colour-checker chart, a zone plate (fine detail up to the sampling
// limit, where the demosaic methods differ), a grey step wedge and a smooth
// grey ramp, over a mid-grey background; below them a track on which a
// shaded ball moves from frame to frame. The static part is rendered once;
// per frame only the ball is drawn in and noise added from a fixed table.
#ifndef SIMCAM_SCENE_H
#define SIMCAM_SCENE_H

#include <cstdint>
#include <vector>

namespace simcam {

inline constexpr int kSensorWidth = 1920;
inline constexpr int kSensorHeight = 1080;

// Radiances are 14-bit (0..16383); noise values are stored with a bias of
// kNoiseBias (1..63), so radiance + stored noise indexes a response table of
// kResponseEntries entries, entry i standing for radiance i - kNoiseBias.
inline constexpr int kRadianceMax = 16383;
inline constexpr int kNoiseBias = 32;
inline constexpr int kResponseEntries = kRadianceMax + 1 + 2 * kNoiseBias;

class Scene {
 public:
  // The one scene, built on first use.
  static const Scene& Get();

  // Radiances of row y over columns [x0, x0 + width) in frame `frame`, with
  // the moving ball drawn in: a pointer into the static scene, or into
  // `scratch` (width entries) when the ball crosses the row.
  const std::uint16_t* ComposeRow(std::uint64_t frame, int y, int x0, int width,
                                  std::uint16_t* scratch) const;

  // Biased noise values for row y of a frame: kSensorWidth of them.
  const std::uint8_t* NoiseRow(std::uint32_t seed, std::uint64_t frame, int y) const;

  // Top-left corner (both even) of the ball in frame `frame`, and its size.
  struct Point {
    int x;
    int y;
  };
  static Point BallPosition(std::uint64_t frame);
  static constexpr int kBallSize = 128;

 private:
  Scene();

  std::vector<std::uint16_t> radiance_;   // kSensorWidth x kSensorHeight
  std::vector<std::uint16_t> ball_;       // kBallSize x kBallSize radiances
  std::vector<std::uint16_t> ballAlpha_;  // coverage 0..256
  std::vector<std::uint8_t> noise_;
};

}  // namespace simcam

#endif
