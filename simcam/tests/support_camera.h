// Shared helpers of the simulated camera's tests: a fixture that installs the
// camera, powers it on in deterministic timing and opens a handle through the
// driver API, and frame helpers built on the image library's decoders.
#ifndef SIMCAM_TESTS_SUPPORT_CAMERA_H
#define SIMCAM_TESTS_SUPPORT_CAMERA_H

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "QDV47B5API.h"
#include "simcam/SimCamera.h"

namespace simcam_test {

// The application's live frame buffer size.
inline constexpr DWORD kFrameBufferBytes = 4393504;

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Reads one frame (of at most `size` bytes); fails the test when GetFrame
  // fails.
  std::vector<std::uint8_t> Grab(DWORD size = kFrameBufferBytes);
  // Starts the stream in `format` and reads frame `frame`.
  std::vector<std::uint8_t> GrabFrame(DWORD format, std::uint64_t frame);
  // Asks for a region and returns what the camera granted.
  ViewPortRecord SetRegion(std::uint32_t x, std::uint32_t y, std::uint32_t width,
                           std::uint32_t height);
  void WriteRegister(std::uint16_t word);
  std::uint16_t ReadRegister(std::uint16_t select);

  simcam::SimCamera* camera_ = nullptr;
  DeviceHandle h_ = INVALID_HANDLE_VALUE;
};

// The 8-bit picture of a frame in `format`, decoded as the application does
// with its default tables (s >> 4 for 12-bit, s >> 2 for 10-bit samples).
std::vector<std::uint8_t> DecodeTo8(DWORD format, const std::vector<std::uint8_t>& frame, int width,
                                    int height);

// Unpacked 10- or 12-bit samples of a frame in format 4 or 2.
std::vector<std::uint16_t> Unpack(DWORD format, const std::vector<std::uint8_t>& frame, int width,
                                  int height);

// Mean of the samples of one colour site class in a rectangle of an 8-bit
// picture: parity (px, py) of the site (GBRG: (0,0) green, (1,0) blue,
// (0,1) red, (1,1) green).
template <class T>
double MeanOf(const std::vector<T>& picture, int width, int x0, int y0, int w, int h, int px,
              int py) {
  double sum = 0;
  int n = 0;
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x)
      if ((x & 1) == px && (y & 1) == py) {
        sum += picture[static_cast<std::size_t>(y) * width + x];
        ++n;
      }
  return n ? sum / n : 0;
}

}  // namespace simcam_test

#endif
