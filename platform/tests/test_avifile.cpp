// The AVI writer: the file's bytes on small hand-checked frames, what ffprobe
// and ffmpeg read back, what a strict reader finds in growing files and in
// files that ran out of room, the size limit, refused formats, failed writes
// and the stream rate.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "platform/avifile.h"
#include "platform/tests/FileSizeLimit.h"
#include "platform/tests/ShellCommand.h"
#include "platform/tests/StrictAVIReader.h"

#include <sys/syscall.h>
#include <unistd.h>

// Positioned writes fail with EIO while this is set: a disk failing under
// the header rewrite, which no size limit can make (the header lies in room
// the file already has). Defined here, it takes the place of the C library's.
std::atomic<bool> FailPositionedWrites{false};
extern "C" ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
  if (FailPositionedWrites) {
    errno = EIO;
    return -1;
  }
  return ::syscall(SYS_pwrite64, fd, data, size, offset);
}

namespace {

using platform::AVIFileWriter;
using platform::AVIRateRounding;
using platform::AVIStreamFormat;
using platform::AVIStreamRate;
using platform::AVIWriteResult;

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

std::string Text(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t n = 4) {
  return std::string(b.begin() + static_cast<std::ptrdiff_t>(at),
                     b.begin() + static_cast<std::ptrdiff_t>(at + n));
}

bool HaveFFmpeg() { return !RunCommand("command -v ffprobe && command -v ffmpeg").empty(); }

class AVIFileWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("avifile_test_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string Path(const char* name) const { return (dir / name).string(); }

  // Frame f of a width x height picture: byte i is (f * 37 + i) mod 251.
  static std::vector<std::uint8_t> Frame(int f, std::size_t bytes) {
    std::vector<std::uint8_t> frame(bytes);
    for (std::size_t i = 0; i < bytes; ++i)
      frame[i] = static_cast<std::uint8_t>((f * 37 + i) % 251);
    return frame;
  }

  std::filesystem::path dir;
};

TEST_F(AVIFileWriterTest, FileBytesOfThreeOddWidthFramesWithAName) {
  // 5 x 3 at 24 bits: rows of 15 bytes stored as 16, frames of 48 bytes.
  AVIStreamFormat format;
  format.width = 5;
  format.height = 3;
  format.rate = 29970;
  format.streamName = "QDV-47B5";
  format.pixelsPerMeter = 10000;
  AVIFileWriter writer;
  const std::string path = Path("a.avi");
  ASSERT_TRUE(writer.Open(path, format));
  for (int f = 0; f < 3; ++f)
    EXPECT_EQ(writer.WriteFrame(Frame(f, 45).data()), AVIWriteResult::Written);
  EXPECT_EQ(writer.FrameIndex(), 3u);
  EXPECT_TRUE(writer.Close());
  EXPECT_FALSE(writer.Close());

  const auto b = ReadFile(path);
  // RIFF, hdrl (avih 56, strl: strh 56, strf 40, strn 9 + 1 pad), movi.
  const std::size_t strl = 12 + 12 + 64, strn = strl + 12 + 64 + 48, movi = strn + 18;
  const std::size_t frameChunk = 8 + 48, index = movi + 12 + 3 * frameChunk;
  ASSERT_EQ(b.size(), index + 8 + 3 * 16);
  EXPECT_EQ(Text(b, 0) + Text(b, 8) + Text(b, 12) + Text(b, 20), "RIFFAVI LISThdrl");
  EXPECT_EQ(U32(b, 4), b.size() - 8);
  EXPECT_EQ(U32(b, 16), movi - 20);    // hdrl list size
  EXPECT_EQ(U32(b, 24 + 8 + 16), 3u);  // avih total frames
  EXPECT_EQ(U32(b, 24 + 8 + 24), 1u);  // streams
  EXPECT_EQ(Text(b, strl + 8) + Text(b, strl + 12) + Text(b, strl + 20), "strlstrhvids");
  EXPECT_EQ(U32(b, strl + 24), 0u);      // handler
  EXPECT_EQ(U32(b, strl + 40), 1000u);   // scale
  EXPECT_EQ(U32(b, strl + 44), 29970u);  // rate
  EXPECT_EQ(U32(b, strl + 52), 3u);      // length
  const std::size_t strf = strl + 12 + 64;
  EXPECT_EQ(Text(b, strf), "strf");
  EXPECT_EQ(U32(b, strf + 4), 40u);
  EXPECT_EQ(static_cast<std::int32_t>(U32(b, strf + 16)), -3);  // top-down rows
  EXPECT_EQ(U32(b, strf + 28), 48u);                            // image size, padded rows
  EXPECT_EQ(U32(b, strf + 32), 10000u);
  EXPECT_EQ(Text(b, strn), "strn");
  EXPECT_EQ(U32(b, strn + 4), 9u);
  EXPECT_EQ(Text(b, strn + 8, 10), std::string("QDV-47B5\0\0", 10));
  EXPECT_EQ(Text(b, movi) + Text(b, movi + 8), "LISTmovi");
  EXPECT_EQ(U32(b, movi + 4), 4 + 3 * frameChunk);
  for (int f = 0; f < 3; ++f) {
    const std::size_t chunk = movi + 12 + f * frameChunk;
    EXPECT_EQ(Text(b, chunk), "00db");
    EXPECT_EQ(U32(b, chunk + 4), 48u);
    const auto frame = Frame(f, 45);
    for (int row = 0; row < 3; ++row) {
      EXPECT_TRUE(std::equal(frame.begin() + row * 15, frame.begin() + row * 15 + 15,
                             b.begin() + static_cast<std::ptrdiff_t>(chunk + 8 + row * 16)));
      EXPECT_EQ(b[chunk + 8 + row * 16 + 15], 0);
    }
    const std::size_t entry = index + 8 + f * 16;
    EXPECT_EQ(Text(b, entry), "00db");
    EXPECT_EQ(U32(b, entry + 4), 0x10u);  // key frame
    EXPECT_EQ(U32(b, entry + 8), 4 + f * frameChunk);
    EXPECT_EQ(U32(b, entry + 12), 48u);
  }
  EXPECT_EQ(Text(b, index), "idx1");
  EXPECT_EQ(U32(b, index + 4), 48u);
}

// ffprobe and ffmpeg read both formats back exactly, padded rows included;
// ffmpeg gives each 8-bit frame followed by its 256-entry palette (B, G, R, A).
TEST_F(AVIFileWriterTest, FFmpegReadsBackEveryFrame) {
  if (!HaveFFmpeg()) GTEST_SKIP() << "ffprobe/ffmpeg not installed";
  for (const int bits : {24, 8}) {
    SCOPED_TRACE(bits);
    const char* pixFmt = bits == 24 ? "bgr24" : "pal8";
    AVIStreamFormat format;
    format.width = 502;
    format.height = 7;
    format.bitsPerPixel = bits;
    format.rate = 29970;
    const std::size_t frameBytes = 502 * 7 * bits / 8;
    const std::string path = Path(bits == 8 ? "grey.avi" : "colour.avi");
    std::string expected;
    {
      AVIFileWriter writer;
      ASSERT_TRUE(writer.Open(path, format));
      for (int f = 0; f < 4; ++f) {
        const auto frame = Frame(f, frameBytes);
        expected.append(frame.begin(), frame.end());
        for (int i = 0; bits == 8 && i < 256; ++i) expected += {char(i), char(i), char(i), '\xff'};
        ASSERT_EQ(writer.WriteFrame(frame.data()), AVIWriteResult::Written);
      }
    }  // the destructor closes the file
    EXPECT_EQ(RunCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                         "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames "
                         "-of default=nw=1 " +
                         path),
              std::string("codec_name=rawvideo\nwidth=502\nheight=7\npix_fmt=") + pixFmt +
                  "\nr_frame_rate=2997/100\nnb_read_frames=4\n");
    EXPECT_TRUE(RunCommand("ffmpeg -v error -i " + path + " -f rawvideo -pix_fmt " + pixFmt +
                           " -") == expected);
  }
}

TEST_F(AVIFileWriterTest, AFrameThatWouldPassTheSizeLimitIsRefused) {
  AVIStreamFormat format;
  format.width = 4;
  format.height = 2;
  const std::string path = Path("limit.avi");
  AVIFileWriter writer;
  ASSERT_TRUE(writer.Open(path, format));
  // Header 224 bytes, each frame 8 + 24 bytes of chunk and 16 of index, the
  // index header 8: two frames make 328 bytes.
  writer.Close();
  std::filesystem::remove(path);
  format.sizeLimit = 328;
  ASSERT_TRUE(writer.Open(path, format));
  const auto frame = Frame(0, 24);
  EXPECT_EQ(writer.WriteFrame(frame.data()), AVIWriteResult::Written);
  EXPECT_TRUE(writer.NextFrameFits());
  EXPECT_EQ(writer.WriteFrame(frame.data()), AVIWriteResult::Written);
  EXPECT_FALSE(writer.NextFrameFits());
  EXPECT_EQ(writer.WriteFrame(frame.data()), AVIWriteResult::SizeLimit);
  EXPECT_TRUE(writer.Close());
  EXPECT_EQ(std::filesystem::file_size(path), 328u);
  EXPECT_EQ(writer.WriteFrame(frame.data()), AVIWriteResult::NotOpen);
}

TEST_F(AVIFileWriterTest, RefusedFormatsAndFailedWrites) {
  AVIStreamFormat good;
  good.width = 64;
  good.height = 64;
  AVIFileWriter writer;
  for (auto change :
       {+[](AVIStreamFormat& f) { f.bitsPerPixel = 16; }, +[](AVIStreamFormat& f) { f.width = 0; },
        +[](AVIStreamFormat& f) { f.height = 40000; }, +[](AVIStreamFormat& f) { f.rate = 0; }}) {
    AVIStreamFormat format = good;
    change(format);
    EXPECT_FALSE(writer.Open(Path("bad.avi"), format));
    EXPECT_FALSE(std::filesystem::exists(Path("bad.avi")));
  }
  EXPECT_FALSE(writer.Open(Path("no/such/folder.avi"), good));
  EXPECT_FALSE(writer.IsOpen());
  // Created only as a new file: one of that name is refused and kept.
  std::ofstream(Path("kept.avi")) << "kept";
  EXPECT_FALSE(writer.Open(Path("kept.avi"), good));
  EXPECT_EQ(ReadFile(Path("kept.avi")).size(), 4u);
  ASSERT_TRUE(writer.Open(Path("new.avi"), good));
  EXPECT_TRUE(writer.Close());
  // A full disk takes the header but no frame.
  const auto frame = Frame(0, 64 * 64 * 3);
  EXPECT_TRUE(InChildWithFileSizeLimit(4096, [&] {
    return writer.Open(Path("full.avi"), good) &&
           writer.WriteFrame(frame.data()) == AVIWriteResult::Failed && writer.FrameIndex() == 0;
  }));
}

// A file closed normally is the same, byte for byte, whatever is kept up to
// date while it grows: 24-bit frames without a name, and 8-bit frames of an
// odd width with padding, palette and a name.
TEST_F(AVIFileWriterTest, NormallyClosedFilesKeepTheirExactBytes) {
  struct Case {
    int width, height, bits;
    const char* name;
    int frames;
    std::uint64_t fnv;
  } cases[] = {{6, 4, 24, "", 5, 0x34321beaad9e6d36ull},
               {7, 3, 8, "QDV-47B5", 4, 0x729dffd0a8adbe94ull}};
  for (const Case& c : cases) {
    AVIStreamFormat format;
    format.width = c.width;
    format.height = c.height;
    format.bitsPerPixel = c.bits;
    format.rate = 29970;
    format.streamName = c.name;
    const std::string path = Path("exact.avi");
    std::remove(path.c_str());  // files are created new only
    AVIFileWriter writer;
    ASSERT_TRUE(writer.Open(path, format));
    for (int f = 0; f < c.frames; ++f)
      ASSERT_EQ(writer.WriteFrame(Frame(f, writer.FrameBytes()).data()), AVIWriteResult::Written);
    ASSERT_TRUE(writer.Close());
    std::uint64_t fnv = 0xcbf29ce484222325ull;  // FNV-1a over the whole file
    for (const std::uint8_t byte : ReadFile(path)) fnv = (fnv ^ byte) * 0x100000001b3ull;
    EXPECT_EQ(fnv, c.fnv) << std::hex << fnv;
  }
}

// The formats both programs write: 24-bit frames without a name, and 8-bit
// frames of an odd width (padded rows) with a name.
AVIStreamFormat SmallFormat(int bits, std::chrono::milliseconds interval) {
  AVIStreamFormat format;
  format.width = bits == 24 ? 6 : 7;
  format.height = 3;
  format.bitsPerPixel = bits;
  format.streamName = bits == 24 ? "" : "QDV-47B5";
  format.headerUpdateInterval = interval;
  return format;
}

// While a file grows, the header on disk describes the frames written up to
// its last update, without an index: read in the middle, the file holds
// those frames and nothing the header does not account for is read.
TEST_F(AVIFileWriterTest, TheHeaderFollowsTheFramesAtEachUpdate) {
  for (const auto interval : {std::chrono::milliseconds(0), std::chrono::milliseconds(3600000)}) {
    const AVIStreamFormat format = SmallFormat(24, interval);
    const std::string path = Path("growing.avi");
    std::remove(path.c_str());  // files are created new only
    AVIFileWriter writer;
    ASSERT_TRUE(writer.Open(path, format));
    for (int f = 0; f < 3; ++f)
      ASSERT_EQ(writer.WriteFrame(Frame(f, writer.FrameBytes()).data()), AVIWriteResult::Written);
    const StrictAVI open = ReadStrictAVI(path);
    ASSERT_TRUE(open.Ok()) << open.error;
    EXPECT_EQ(open.frames, interval.count() == 0 ? 3u : 0u);
    EXPECT_EQ(open.trailingBytes, interval.count() == 0 ? 0u : 3 * (8 + writer.StoredFrameBytes()));
    EXPECT_FALSE(open.indexed);
    ASSERT_TRUE(writer.Close());
    const StrictAVI closed = ReadStrictAVI(path);
    ASSERT_TRUE(closed.Ok()) << closed.error;
    EXPECT_EQ(closed.frames, 3u);
    EXPECT_TRUE(closed.indexed);
    EXPECT_EQ(closed.trailingBytes, 0u);
  }
}

// A disk that fills up (a file-size limit, sized to the byte): at a frame
// boundary, inside a frame, inside the index and one byte short of the whole
// file, the file keeps every frame written whole, without an index, and its
// sizes say so; the close reports the failure. Where the index just fits the
// file is complete.
TEST_F(AVIFileWriterTest, ADiskThatFillsUpKeepsEveryWholeFrame) {
  const AVIStreamFormat format = SmallFormat(24, std::chrono::milliseconds(3600000));
  std::uint64_t header = 0, chunk = 0;
  {
    AVIFileWriter writer;
    ASSERT_TRUE(writer.Open(Path("empty.avi"), format));
    chunk = 8 + writer.StoredFrameBytes();
    ASSERT_TRUE(writer.Close());
    header = std::filesystem::file_size(Path("empty.avi")) - 8;
  }
  const std::uint64_t frames3 = header + 3 * chunk;
  const struct {
    const char* name;
    std::uint64_t limit;
    bool complete;
  } cases[] = {{"at a frame boundary", frames3, false},
               {"inside a frame", frames3 + 13, false},
               {"inside the index", frames3 + 8 + 16 + 5, false},
               {"one byte short", frames3 + 8 + 3 * 16 - 1, false},
               {"the index just fits", frames3 + 8 + 3 * 16, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Path("full.avi");
    std::remove(path.c_str());
    // Exit status: frames written, plus 100 when the close succeeded.
    const int status = InChildUnderFileSizeLimit(c.limit, [&] {
      AVIFileWriter writer;
      if (!writer.Open(path, format)) return 254;
      for (int f = 0; f < 10; ++f)
        if (writer.WriteFrame(Frame(f, writer.FrameBytes()).data()) != AVIWriteResult::Written)
          break;
      const std::uint32_t written = writer.FrameIndex();
      const bool closed = writer.Close();
      if (writer.KeptFrames() != written) return 253;
      return static_cast<int>(written) + (closed ? 100 : 0);
    });
    EXPECT_EQ(status, 3 + (c.complete ? 100 : 0));
    const StrictAVI avi = ReadStrictAVI(path);
    ASSERT_TRUE(avi.Ok()) << avi.error;
    EXPECT_EQ(avi.frames, 3u);
    EXPECT_EQ(avi.indexed, c.complete);
    EXPECT_EQ(avi.trailingBytes, 0u);
  }
}

// The final header cannot be written (an I/O error): the file keeps the
// frames the header on disk counts, the last update's, and nothing past them.
TEST_F(AVIFileWriterTest, AFailedFinalHeaderKeepsTheFramesTheLastHeaderCounts) {
  const std::string path = Path("failing.avi");
  AVIFileWriter writer;
  ASSERT_TRUE(writer.Open(path, SmallFormat(24, std::chrono::milliseconds(0))));
  for (int f = 0; f < 3; ++f) {
    FailPositionedWrites = f == 2;  // the third frame's header update fails
    ASSERT_EQ(writer.WriteFrame(Frame(f, writer.FrameBytes()).data()), AVIWriteResult::Written);
  }
  EXPECT_FALSE(writer.Close());
  FailPositionedWrites = false;
  EXPECT_EQ(writer.KeptFrames(), 2u);
  const StrictAVI avi = ReadStrictAVI(path);
  ASSERT_TRUE(avi.Ok()) << avi.error;
  EXPECT_EQ(avi.frames, 2u);
  EXPECT_FALSE(avi.indexed);
  EXPECT_EQ(avi.trailingBytes, 0u);
}

TEST(AVIStreamRateTest, RoundingAndFallback) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double fps;
    std::uint32_t scale;
    std::uint32_t even, up;
  } cases[] = {{29.97, 1000, 29970, 29970},
               {2.5, 1, 2, 3},
               {3.5, 1, 4, 4},
               {0.0, 1000, 25000, 25000},
               {-5, 1000, 25000, 25000},
               {nan, 1000, 25000, 25000},
               {inf, 1000, 25000, 25000},
               {0.0001, 1000, 25000, 25000},
               {1e7, 1000, 25000, 25000}};
  for (const Case& c : cases) {
    EXPECT_EQ(AVIStreamRate(c.fps, c.scale, AVIRateRounding::HalvesToEven), c.even) << c.fps;
    EXPECT_EQ(AVIStreamRate(c.fps, c.scale, AVIRateRounding::HalvesUp), c.up) << c.fps;
  }
}

}  // namespace
