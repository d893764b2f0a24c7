// Rendering of the synthetic scene.
#include "simcam/src/Scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace simcam {

namespace {

struct Rgb {
  double r, g, b;
};

double SrgbToLinear(double c) {
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

Rgb FromSrgb8(int r, int g, int b) {
  return {SrgbToLinear(r / 255.0), SrgbToLinear(g / 255.0), SrgbToLinear(b / 255.0)};
}

Rgb Grey(double v) { return {v, v, v}; }

// The 24 patches of a colour-checker chart, row by row (sRGB, 8 bits).
constexpr int kChartColours[24][3] = {
    {115, 82, 68},   {194, 150, 130}, {98, 122, 157}, {87, 108, 67},   {133, 128, 177},
    {103, 189, 170}, {214, 126, 44},  {80, 91, 166},  {193, 90, 99},   {94, 60, 108},
    {157, 188, 64},  {224, 163, 46},  {56, 61, 150},  {70, 148, 73},   {175, 54, 60},
    {231, 199, 31},  {187, 86, 149},  {8, 133, 161},  {243, 243, 242}, {200, 200, 200},
    {160, 160, 160}, {122, 122, 121}, {85, 85, 85},   {52, 52, 52}};

// Layout, in sensor pixels.
constexpr int kChartLeft = 48, kChartTop = 48, kChartRight = 928, kChartBottom = 640;
constexpr int kPatchLeft = 64, kPatchTop = 64, kPatchSize = 128, kPatchPitch = 144;
constexpr double kPlateX = 1424, kPlateY = 344, kPlateRadius = 280, kPlateRim = 8;
constexpr int kBandLeft = 48, kBandRight = 1872;
constexpr int kWedgeTop = 688, kWedgeBottom = 784, kWedgeSteps = 16;
constexpr int kRampTop = 800, kRampBottom = 864;
constexpr int kTrackTop = 888, kTrackBottom = 1048;
constexpr int kBallTop = 904;
constexpr int kBallSpeed = 8;  // pixels per frame

constexpr double kBackground = 0.18;
constexpr double kCard = 0.03;
constexpr double kTrack = 0.04;

// Radiance of a reflectance of 1 per colour channel: the illuminant and the
// sensor's spectral response give red and blue less signal than green.
constexpr double kWhiteRadiance = 15000;
constexpr double kSensitivity[3] = {0.80, 1.00, 0.88};  // R, G, B

// Reflectance of the static scene at the centre of pixel (x, y).
Rgb SceneColour(int x, int y) {
  const double px = x + 0.5, py = y + 0.5;
  if (x >= kChartLeft && x < kChartRight && y >= kChartTop && y < kChartBottom) {
    const int col = (x - kPatchLeft) / kPatchPitch, row = (y - kPatchTop) / kPatchPitch;
    if (x >= kPatchLeft && y >= kPatchTop && col < 6 && row < 4 &&
        x - kPatchLeft - col * kPatchPitch < kPatchSize &&
        y - kPatchTop - row * kPatchPitch < kPatchSize) {
      const int* c = kChartColours[row * 6 + col];
      return FromSrgb8(c[0], c[1], c[2]);
    }
    return Grey(kCard);
  }
  const double dx = px - kPlateX, dy = py - kPlateY;
  const double r2 = dx * dx + dy * dy;
  if (r2 <= kPlateRadius * kPlateRadius) {
    // Local frequency k * r cycles per pixel: half a cycle per pixel at the rim.
    const double k = 0.5 / kPlateRadius;
    return Grey(0.04 + 0.86 * (0.5 + 0.5 * std::cos(std::numbers::pi * k * r2)));
  }
  if (r2 <= (kPlateRadius + kPlateRim) * (kPlateRadius + kPlateRim)) return Grey(kCard);
  if (x >= kBandLeft && x < kBandRight) {
    const int bandWidth = kBandRight - kBandLeft;
    if (y >= kWedgeTop && y < kWedgeBottom) {
      const int step = (x - kBandLeft) * kWedgeSteps / bandWidth;
      return Grey(std::max(0.005, SrgbToLinear(static_cast<double>(step) / (kWedgeSteps - 1))));
    }
    if (y >= kRampTop && y < kRampBottom)
      return Grey(static_cast<double>(x - kBandLeft) / (bandWidth - 1));
    if (y >= kTrackTop && y < kTrackBottom) return Grey(kTrack);
  }
  return Grey(kBackground);
}

// Colour channel of a GBRG site: 0 red, 1 green, 2 blue.
int ChannelAt(int x, int y) {
  if ((y & 1) == 0) return (x & 1) == 0 ? 1 : 2;
  return (x & 1) == 0 ? 0 : 1;
}

std::uint16_t RadianceOf(const Rgb& c, int channel) {
  const double v = channel == 0 ? c.r : channel == 1 ? c.g : c.b;
  const double rad = std::nearbyint(v * kSensitivity[channel] * kWhiteRadiance);
  return static_cast<std::uint16_t>(std::clamp(rad, 0.0, static_cast<double>(kRadianceMax)));
}

// A shaded orange ball lit from the upper left, with a highlight: the
// reflectance at (dx, dy) in coordinates where the ball is the unit circle.
Rgb BallColour(double dx, double dy) {
  const double r2 = dx * dx + dy * dy;
  const double nz = std::sqrt(std::max(0.0, 1 - r2));
  const double lx = -0.45, ly = -0.55, lz = 0.70;
  const double ln = std::sqrt(lx * lx + ly * ly + lz * lz);
  const double lambert = std::max(0.0, (dx * lx + dy * ly + nz * lz) / ln);
  // Half vector between the light and the viewer (0, 0, 1).
  double hx = lx / ln, hy = ly / ln, hz = lz / ln + 1;
  const double hn = std::sqrt(hx * hx + hy * hy + hz * hz);
  hx /= hn, hy /= hn, hz /= hn;
  const double highlight = 0.9 * std::pow(std::max(0.0, dx * hx + dy * hy + nz * hz), 40);
  const double shade = 0.12 + 0.88 * lambert;
  return {0.92 * shade + highlight, 0.42 * shade + highlight, 0.07 * shade + highlight};
}

std::uint64_t Mix(std::uint64_t z) {
  z += 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

constexpr std::size_t kNoisePeriod = 65536;

}  // namespace

const Scene& Scene::Get() {
  static const Scene scene;
  return scene;
}

Scene::Scene()
    : radiance_(static_cast<std::size_t>(kSensorWidth) * kSensorHeight),
      ball_(kBallSize * kBallSize),
      ballAlpha_(kBallSize * kBallSize),
      noise_(kNoisePeriod + kSensorWidth) {
  for (int y = 0; y < kSensorHeight; ++y)
    for (int x = 0; x < kSensorWidth; ++x)
      radiance_[static_cast<std::size_t>(y) * kSensorWidth + x] =
          RadianceOf(SceneColour(x, y), ChannelAt(x, y));

  // The ball's top-left corner is always even, so its own site parity is the
  // sensor's.
  const double half = kBallSize / 2.0;
  for (int v = 0; v < kBallSize; ++v) {
    for (int u = 0; u < kBallSize; ++u) {
      const double dx = (u + 0.5 - half) / half, dy = (v + 0.5 - half) / half;
      const double edge = (1 - std::sqrt(dx * dx + dy * dy)) * half + 0.5;  // pixels inside
      const std::size_t i = static_cast<std::size_t>(v) * kBallSize + u;
      ballAlpha_[i] = static_cast<std::uint16_t>(std::nearbyint(256 * std::clamp(edge, 0.0, 1.0)));
      ball_[i] = RadianceOf(BallColour(dx, dy), ChannelAt(u, v));
    }
  }

  // Sensor noise, about 5 radiance units standard deviation, from a fixed
  // generator so that every run sees the same table.
  std::uint64_t state = 0x51CA3E11ull;
  auto uniform = [&state] {
    state = Mix(state);
    return (static_cast<double>(state >> 11) + 0.5) / 9007199254740992.0;
  };
  for (std::size_t i = 0; i < kNoisePeriod; ++i) {
    const double g =
        std::sqrt(-2 * std::log(uniform())) * std::cos(2 * std::numbers::pi * uniform());
    noise_[i] = static_cast<std::uint8_t>(
        kNoiseBias + std::clamp(std::nearbyint(5 * g), -(kNoiseBias - 1.0), kNoiseBias - 1.0));
  }
  std::copy_n(noise_.begin(), kSensorWidth, noise_.begin() + kNoisePeriod);
}

Scene::Point Scene::BallPosition(std::uint64_t frame) {
  const std::uint64_t travel = (kBandRight - kBandLeft) - kBallSize;
  const std::uint64_t phase = (frame % (2 * travel / kBallSpeed)) * kBallSpeed;
  const std::uint64_t offset = phase <= travel ? phase : 2 * travel - phase;
  return {kBandLeft + static_cast<int>(offset), kBallTop};
}

const std::uint16_t* Scene::ComposeRow(std::uint64_t frame, int y, int x0, int width,
                                       std::uint16_t* scratch) const {
  const std::uint16_t* row = radiance_.data() + static_cast<std::size_t>(y) * kSensorWidth + x0;
  const Point ball = BallPosition(frame);
  const int v = y - ball.y;
  const int from = std::max(x0, ball.x), to = std::min(x0 + width, ball.x + kBallSize);
  if (v < 0 || v >= kBallSize || from >= to) return row;
  std::copy_n(row, width, scratch);
  const std::uint16_t* sprite = ball_.data() + static_cast<std::size_t>(v) * kBallSize;
  const std::uint16_t* alpha = ballAlpha_.data() + static_cast<std::size_t>(v) * kBallSize;
  for (int x = from; x < to; ++x) {
    const int u = x - ball.x;
    const int bg = scratch[x - x0];
    scratch[x - x0] = static_cast<std::uint16_t>(bg + (sprite[u] - bg) * alpha[u] / 256);
  }
  return scratch;
}

const std::uint8_t* Scene::NoiseRow(std::uint32_t seed, std::uint64_t frame, int y) const {
  const std::uint64_t h =
      Mix((static_cast<std::uint64_t>(seed) << 32) ^ Mix(frame) ^ static_cast<std::uint64_t>(y));
  return noise_.data() + (h & (kNoisePeriod - 1));
}

}  // namespace simcam
