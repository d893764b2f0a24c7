// The RAW video sample files that the viewer's tests read: recorded from
// the simulated camera (deterministic frames) by the camera application's RAW
// capture in viewer_make_samples, which
// also stores, for frame SampleFrame of each small file, the camera's frame
// as delivered and the camera application's picture of it in every mode.
#ifndef VIEWER_TESTS_SAMPLEFILES_H
#define VIEWER_TESTS_SAMPLEFILES_H

#include <QString>

#include <cstdint>

struct TSampleFile {
  std::int32_t streamStatus;
  std::int32_t width;
  std::int32_t height;
  std::int32_t frames;
};

inline constexpr TSampleFile SampleFiles[] = {
    {1, 320, 180, 3},   {2, 320, 180, 3},   {3, 320, 180, 3},   {4, 320, 180, 3},
    {1, 1920, 1080, 2}, {2, 1920, 1080, 2}, {3, 1920, 1080, 2}, {4, 1920, 1080, 2},
};

// The record compared in the round trip (1 is the first), and the camera's
// number of the first recorded frame.
inline constexpr std::int32_t SampleFrame = 2;
inline constexpr std::uint64_t FirstFrameNumber = 100;

// A colour matrix (rows: input R, G, B, constant; columns: output R, G, B)
// that swaps red and blue, dims green and lifts blue: the "with correction"
// pictures.
inline constexpr double SampleCorrectionMatrix[12] = {0, 0, 1, 0, 0.8, 0, 1, 0, 0, 0, 20, 0};

inline QString SampleStem(const TSampleFile& s) {
  return QStringLiteral("VIDEO_%1_%2x%3").arg(s.streamStatus).arg(s.width).arg(s.height);
}
inline QString SampleName(const TSampleFile& s) { return SampleStem(s) + QStringLiteral(".RAW"); }
// The camera's frame SampleFrame, as GetFrame delivered it.
inline QString CameraFrameName(const TSampleFile& s) {
  return SampleStem(s) + QStringLiteral("_frame.bin");
}
// The camera application's picture of frame SampleFrame (small files only).
inline QString AppPictureName(const TSampleFile& s, int mode, bool corrected) {
  return SampleStem(s) + QStringLiteral("_app_mode%1%2.png").arg(mode).arg(corrected ? "_cc" : "");
}
inline bool HasAppPictures(const TSampleFile& s) { return s.width == 320; }

#endif
