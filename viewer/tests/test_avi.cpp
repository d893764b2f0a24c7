// Conversion into AVI parts, checked with ffprobe, ffmpeg and a strict
// reader of our own: the samples
// recorded by the camera application in every stream format, modes 0, 4
// (with correction) and 7, frame for frame against the image library's
// pictures; the stream's rate, name and format; parts split at the size
// limit without replacing an earlier file; the rate fallback; padded rows;
// every way a conversion fails, a full disk among them; a conversion
// killed midway; the writer's refusals; commands during a conversion;
// closing.
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <csignal>
#include <limits>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/tests/StrictAVIReader.h"
#include "viewer/tests/ExportTestSupport.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new ViewerEnvironment);

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::uint32_t v = 0;
  if (at + 4 <= b.size()) std::memcpy(&v, b.data() + at, 4);
  return v;
}

// Offset of the first chunk `code` (its four characters) in a file.
std::size_t Find(const std::vector<std::uint8_t>& b, const char* code) {
  const auto it = std::search(b.begin(), b.end(), code, code + 4);
  return it == b.end() ? 0 : std::size_t(it - b.begin());
}

// ffprobe's view: codec, size, pixel format, rate and frames read.
QString Probe(const QString& avi) {
  return QString::fromLatin1(
             RunTool(QStringLiteral("ffprobe"),
                     {QStringLiteral("-v"), QStringLiteral("error"),
                      QStringLiteral("-count_frames"), QStringLiteral("-show_entries"),
                      QStringLiteral(
                          "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames"),
                      QStringLiteral("-of"), QStringLiteral("csv=p=0"), avi}))
      .trimmed();
}

// ffmpeg's frames as B, G, R bytes.
QByteArray Decoded(const QString& avi) {
  return RunTool(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), avi,
                  QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"),
                  QStringLiteral("bgr24"), QStringLiteral("-")});
}

class AVITest : public ViewerTest {
 protected:
  void SetUp() override {
    if (!HaveTool("ffprobe") || !HaveTool("ffmpeg")) GTEST_SKIP() << "ffprobe/ffmpeg missing";
    form->Session.WorkDir = dir.path();
  }
  QString Work(const QString& name) const { return dir.filePath(name); }
  QString Part(int number, int part) const {
    return Work(QStringLiteral("VIDEO_%1-PART-%2.AVI")
                    .arg(number, 4, 10, QLatin1Char('0'))
                    .arg(part, 4, 10, QLatin1Char('0')));
  }
  // A copy of a RAW file whose header says fps frames per second.
  QString WithRate(const QString& source, double fps, const QString& name) {
    std::vector<std::uint8_t> bytes = ReadBytes(source);
    std::memcpy(bytes.data() + RAWHeader::FrameRate, &fps, sizeof fps);
    QFile out(Work(name));
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    return out.fileName();
  }
  // Opens path at its first record, converts it; the messages shown.
  QString Convert(const QString& path) {
    Open(path);
    form->Session.ReadNextFrame();
    form->mSaveAVIClick();
    return TakeMessages();
  }
  static QString Done(const QString& raw, const QString& first) {
    return QStringLiteral("Message|Convert from '") + raw + QStringLiteral("' to '") + first +
           QStringLiteral("' done.");
  }
  // The library's pictures of every complete record, as an AVI holds them.
  static QByteArray Expected(const QString& raw, const RAWVideoHeader& h, int mode,
                             ColorCorrection* correction) {
    QByteArray all;
    for (const auto& record : RecordsOf(raw))
      all += BGRBytes(LibraryPicture(h.StreamStatus, record, h.Width, h.Height, mode, correction));
    return all;
  }
  QStringList AVIFiles() const {
    return QDir(dir.path()).entryList({QStringLiteral("*.AVI")}, QDir::Files);
  }
};

TEST_F(AVITest, SamplesInEveryFormatAndModeRoundTrip) {
  ColorCorrection* reference = CreateColorCorrection();
  SetColorCorrectionMatrix(reference, SampleCorrectionMatrix);
  SetColorCorrectionMode(reference, CorrectionMatrix);
  SetColorCorrectionMatrix(form->Session.ColorCorrectionObject.get(), SampleCorrectionMatrix);
  SetColorCorrectionMode(form->Session.ColorCorrectionObject.get(), CorrectionMatrix);
  int number = 0;
  for (const TSampleFile& s : SampleFiles) {
    if (!HasAppPictures(s)) continue;  // the 320 x 180 files
    const QString raw = WithRate(SamplePath(SampleName(s)), 29.97, SampleName(s));
    for (int mode : {0, 4, 7}) {
      SCOPED_TRACE(testing::Message() << SampleName(s).toStdString() << " mode " << mode);
      form->Session.CorrectionOn = mode == 4;
      form->Session.SetDebayerMode(mode);
      const QString avi = Part(number++, 0);
      ASSERT_EQ(Convert(raw), Done(raw, avi));
      const int w = mode == 7 ? s.width / 2 : s.width, h = mode == 7 ? s.height / 2 : s.height;
      EXPECT_EQ(Probe(avi), QStringLiteral("rawvideo,%1,%2,%3,2997/100,%4")
                                .arg(w)
                                .arg(h)
                                .arg(mode == 0 ? "pal8" : "bgr24")
                                .arg(s.frames));
      EXPECT_TRUE(Decoded(avi) ==
                  Expected(raw, form->Session.Header, mode, mode == 4 ? reference : nullptr));
      // The stream header's exact rate over scale, its name and format.
      const std::vector<std::uint8_t> b = ReadBytes(avi);
      const std::size_t strh = Find(b, "strh"), strf = Find(b, "strf");
      EXPECT_EQ(U32At(b, strh + 8 + 20), 1000u);
      EXPECT_EQ(U32At(b, strh + 8 + 24), 29970u);
      EXPECT_EQ(U32At(b, strf + 4), mode == 0 ? 1064u : 40u);
      EXPECT_EQ(U32At(b, strf + 8 + 24), 10000u);  // pixels per metre
      EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(b.data() + Find(b, "strn") + 8)),
                QByteArray("QDV-47B5"));
      // Back at record 1; the status panel cleared.
      EXPECT_EQ(form->Session.FrameCounter, 1);
      EXPECT_EQ(form->StatusText(), QString());
    }
  }
  FreeColorCorrection(reference);
}

TEST_F(AVITest, PartsSplitAtTheLimitAndEarlierFilesStay) {
  const TSampleFile& s = SampleFiles[0];
  const QString raw = SamplePath(SampleName(s));
  // An earlier file's second part: its number is not used again.
  QFile earlier(Part(0, 1));
  ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
  earlier.write("earlier");
  earlier.close();
  form->Session.SetDebayerMode(4);
  // Two frames fit a part: each takes its chunk and its index entry.
  form->Session.Writer.SizeLimit = 2 * (8 + 320 * 180 * 3 + 16) + 4096;
  ASSERT_EQ(Convert(raw), Done(raw, Part(1, 0)));
  EXPECT_EQ(Probe(Part(1, 0)).section(QLatin1Char(','), -1), QStringLiteral("2"));
  EXPECT_EQ(Probe(Part(1, 1)).section(QLatin1Char(','), -1), QStringLiteral("1"));
  EXPECT_EQ(AVIFiles().size(), 3);
  EXPECT_EQ(ReadBytes(Part(0, 1)).size(), 7u);
  EXPECT_TRUE(Decoded(Part(1, 0)) + Decoded(Part(1, 1)) ==
              Expected(raw, form->Session.Header, 4, nullptr));

  // Under the real limit a part holds 321 colour or 964 grey 1080p frames.
  for (const auto& [bits, frames] : {std::pair{24, 321u}, std::pair{8, 964u}}) {
    platform::AVIFileWriter writer;
    platform::AVIStreamFormat format;
    format.width = 1920;
    format.height = 1080;
    format.bitsPerPixel = bits;
    format.streamName = AVIWriter::StreamName;
    const QByteArray path = QFile::encodeName(Work(QStringLiteral("limit%1.avi").arg(bits)));
    ASSERT_TRUE(writer.Open(path.toStdString(), format));
    const std::vector<std::uint8_t> frame(std::size_t(1920) * 1080 * bits / 8);
    // Each frame is cut off again once written: the disk holds none of them.
    while (writer.NextFrameFits()) {
      ASSERT_EQ(writer.WriteFrame(frame.data()), platform::AVIWriteResult::Written);
      ASSERT_EQ(::truncate(path.constData(), 0), 0);
    }
    EXPECT_EQ(writer.FrameIndex(), frames);
  }
}

TEST_F(AVITest, RatesThatAreNoRateGiveTwentyFiveFramesPerSecond) {
  const QString source = Work(QStringLiteral("source.raw"));
  WriteRAWFile(source, MakeHeader(1, 8, 4), {Record(std::vector<std::uint8_t>(32, 7))});
  const double rates[] = {0, -5, std::nan(""), std::numeric_limits<double>::infinity(), 5e6};
  int number = 0;
  for (double fps : rates) {
    SCOPED_TRACE(fps);
    const QString raw = WithRate(source, fps, QStringLiteral("rate.raw"));
    ASSERT_EQ(Convert(raw), Done(raw, Part(number, 0)));
    const std::vector<std::uint8_t> b = ReadBytes(Part(number++, 0));
    EXPECT_EQ(U32At(b, Find(b, "strh") + 8 + 24), 25000u);
    EXPECT_EQ(Probe(Part(number - 1, 0)), QStringLiteral("rawvideo,8,4,pal8,25/1,1"));
  }
}

TEST_F(AVITest, RowsArePaddedToFourBytes) {
  std::vector<std::uint8_t> frame(502 * 4);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = std::uint8_t(i * 7);
  const QString raw = Work(QStringLiteral("wide.raw"));
  WriteRAWFile(raw, MakeHeader(1, 502, 4), {Record(frame), Record(frame)});
  const struct {
    int mode;
    std::uint32_t chunk;  // padded rows x height
  } cases[] = {{0, 504 * 4}, {4, 1508 * 4}, {7, 756 * 2}};
  int number = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    form->Session.SetDebayerMode(c.mode);
    ASSERT_EQ(Convert(raw), Done(raw, Part(number, 0)));
    const std::vector<std::uint8_t> b = ReadBytes(Part(number, 0));
    EXPECT_EQ(U32At(b, Find(b, "00db") + 4), c.chunk);
    EXPECT_TRUE(Decoded(Part(number++, 0)) == Expected(raw, form->Session.Header, c.mode, nullptr));
  }
}

TEST_F(AVITest, FailuresAreReportedAndNeverDone) {
  const std::vector<std::uint8_t> frame(64, 50);
  // A header that renders nothing is the RAW file's fault: no part is tried.
  const struct {
    const char* name;
    RAWVideoHeader header;
    std::vector<TRecordSpec> records;
    int mode;
    const char* message;  // "header", "make", "read" or "done"
    int frames;           // in part 0 (-1: no AVI)
    // clang-format off
  } cases[] = {
      {"status0", MakeHeader(0, 16, 4), {Record(frame)}, 4, "header", -1},
      {"status5", MakeHeader(5, 16, 4), {Record(frame)}, 1, "header", -1},
      {"status255", MakeHeader(255, 16, 4), {Record(frame)}, 0, "header", -1},
      {"width0", MakeHeader(1, 0, 4), {Record(frame)}, 0, "header", -1},
      {"height0", MakeHeader(3, 16, 0), {Record(frame)}, 4, "header", -1},
      {"halved", MakeHeader(1, 64, 1), {Record(frame)}, 7, "header", -1},
      {"refused", MakeHeader(1, 16, 2), {Record(std::vector<std::uint8_t>(32, 1))}, 4, "header", -1},
      {"odd", MakeHeader(1, 15, 4), {Record(frame)}, 2, "header", -1},
      {"nofolder", MakeHeader(1, 16, 4), {Record(frame)}, 4, "make", -1},
      {"empty", MakeHeader(1, 16, 4), {}, 4, "read", -1},
      {"damaged", MakeHeader(1, 16, 4), {Record(frame), {5000000, {}}, Record(frame)}, 4, "read", 1},
      {"short", MakeHeader(1, 16, 4), {Record(frame), Record(std::vector<std::uint8_t>(63, 1)), Record(frame)}, 4, "read", 1},
      {"truncated", MakeHeader(1, 16, 4), {Record(frame), Record(frame), {64, {1, 2, 3}}}, 4, "done", 2},
  };
  // clang-format on
  int number = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString raw = Work(QString::fromLatin1(c.name) + QStringLiteral(".raw"));
    WriteRAWFile(raw, c.header, c.records);
    form->Session.SetDebayerMode(c.mode);
    const bool noFolder = std::strcmp(c.message, "make") == 0;
    form->Session.WorkDir = noFolder ? Work(QStringLiteral("gone/")) : dir.path();
    const QString avi =
        noFolder ? Work(QStringLiteral("gone/VIDEO_0000-PART-0000.AVI")) : Part(number, 0);
    const QString text = Convert(raw);
    const QString expected =
        std::strcmp(c.message, "header") == 0 ? QStringLiteral("Error|Error RAW header:") + raw
        : noFolder                            ? QStringLiteral("Error|Error make AVI file:") + avi
        : std::strcmp(c.message, "read") == 0 ? QStringLiteral("Error|Error read file:") + raw
                                              : Done(raw, avi);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(QFile::exists(avi), c.frames >= 0);
    if (c.frames >= 0) {
      EXPECT_EQ(Probe(avi).section(QLatin1Char(','), -1), QString::number(c.frames));
    }
    if (QFile::exists(avi)) ++number;
  }
  // Nothing but the RAW files was made.
  EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.AVI")}, QDir::Files).size(), number);
  form->Session.WorkDir = dir.path();

  // A disk that fills up (the file size limit of the process): after one
  // frame, whose index still fits; and exactly after the last of the three
  // frames, so that only the index does not fit. Either way the part is
  // strictly readable with the frames written.
  const QString raw = SamplePath(SampleName(SampleFiles[0]));
  form->Session.SetDebayerMode(4);
  // A 242-byte header (the stream name included), frame chunks of 8 + 172,800.
  const struct {
    rlim_t limit;
    std::uint32_t frames;
    bool indexed;
  } full[] = {{250000, 1, true}, {242 + 3 * (8 + 172800), 3, false}};
  for (const auto& c : full) {
    SCOPED_TRACE(c.limit);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = c.limit;
    setrlimit(RLIMIT_FSIZE, &small);
    const QString text = Convert(raw);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    // The message says how many frames the part keeps: exactly what a strict
    // reader finds.
    EXPECT_EQ(text, QStringLiteral("Error|Error write file:") + Part(number, 0) +
                        QStringLiteral("\n%1 frames stored.").arg(c.frames));
    const StrictAVI avi = ReadStrictAVI(Part(number++, 0).toStdString());
    ASSERT_TRUE(avi.Ok()) << avi.error;
    EXPECT_EQ(avi.frames, c.frames);
    EXPECT_EQ(avi.indexed, c.indexed);
    EXPECT_EQ(avi.trailingBytes, 0u);
  }
}

// The conversion's writer on its own: a part is always a new file, and a
// frame of any other size than the part's is refused without closing it.
TEST(AVIWriterTest, RefusesAnExistingFileAndAFrameOfTheWrongSize) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString taken = dir.filePath(QStringLiteral("taken.AVI"));
  QFile earlier(taken);
  ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
  earlier.write("earlier");
  earlier.close();
  AVIWriter writer;
  EXPECT_FALSE(writer.Open(taken, 16, 4, 8, 25, 0));
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_EQ(ReadBytes(taken), (std::vector<std::uint8_t>{'e', 'a', 'r', 'l', 'i', 'e', 'r'}));

  const QString name = dir.filePath(QStringLiteral("new.AVI"));
  ASSERT_TRUE(writer.Open(name, 16, 4, 8, 25, 0));
  const std::vector<std::uint8_t> frame(16 * 4 + 1, 7);
  EXPECT_FALSE(writer.WriteFrame(frame.data(), 16 * 4 - 1));
  EXPECT_FALSE(writer.WriteFrame(frame.data(), 16 * 4 + 1));
  EXPECT_TRUE(writer.IsOpen());
  EXPECT_EQ(writer.FrameIndex(), 0u);
  EXPECT_TRUE(writer.WriteFrame(frame.data(), 16 * 4));
  EXPECT_TRUE(writer.Close());
  const StrictAVI avi = ReadStrictAVI(name.toStdString());
  ASSERT_TRUE(avi.Ok()) << avi.error;
  EXPECT_EQ(avi.frames, 1u);
  EXPECT_EQ(avi.Frame(0), std::vector<std::uint8_t>(16 * 4, 7));
}

// The part's rate is the frame rate times 1000 with halves rounded up.
TEST(AVIWriterTest, RatesRoundHalvesUp) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const struct {
    double fps;
    std::uint32_t rate;
  } cases[] = {{25.0005, 25001}, {0.0005, 1}, {29.97, 29970}, {12.0004, 12000}};
  int number = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fps);
    const QString name = dir.filePath(QString::number(number++) + QStringLiteral(".AVI"));
    AVIWriter writer;
    ASSERT_TRUE(writer.Open(name, 4, 2, 8, c.fps, 0));
    ASSERT_TRUE(writer.WriteFrame(std::vector<std::uint8_t>(8, 1).data(), 8));
    ASSERT_TRUE(writer.Close());
    const std::vector<std::uint8_t> b = ReadBytes(name);
    EXPECT_EQ(U32At(b, Find(b, "strh") + 8 + 20), 1000u);
    EXPECT_EQ(U32At(b, Find(b, "strh") + 8 + 24), c.rate);
  }
}

// A conversion killed while it writes a part (a child process writing
// grey frames through the conversion's writer): once the part's header
// counts 20 frames, a kill leaves a part that a strict reader takes, with
// every frame it counts intact.
TEST(AVIWriterTest, AConversionKilledMidPartLeavesAStrictlyReadablePart) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString name = dir.filePath(QStringLiteral("VIDEO_0000-PART-0000.AVI"));
  const auto frame = [](int f) {
    std::vector<std::uint8_t> grey(18 * 5);
    for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = std::uint8_t((f * 31 + i) % 256);
    return grey;
  };
  const pid_t child = ::fork();
  if (child == 0) {
    // Frames at a steady pace (about 500 a second) until killed.
    AVIWriter writer;
    if (!writer.Open(name, 18, 5, 8, 29.97, 0)) ::_exit(1);
    for (int f = 0; writer.WriteFrame(frame(f).data(), 18 * 5); ++f) ::usleep(2000);
    ::_exit(2);
  }
  ASSERT_GT(child, 0);
  const QDeadlineTimer deadline(30000);
  StrictAVI avi;
  while (!deadline.hasExpired() && !(avi.Ok() && avi.frames >= 20)) {
    ::usleep(10000);
    avi = ReadStrictAVI(name.toStdString());
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself";
  avi = ReadStrictAVI(name.toStdString());
  ASSERT_TRUE(avi.Ok()) << avi.error;
  EXPECT_GE(avi.frames, 20u);
  EXPECT_FALSE(avi.indexed);
  for (std::uint32_t f = 0; f < avi.frames; ++f) {
    // Rows of 18 grey bytes stored in 20.
    const auto expected = frame(static_cast<int>(f));
    const auto stored = avi.Frame(f);
    for (int row = 0; row < 5; ++row)
      ASSERT_TRUE(std::equal(expected.begin() + row * 18, expected.begin() + row * 18 + 18,
                             stored.begin() + row * 20))
          << "frame " << f;
  }
}

TEST_F(AVITest, CommandsDuringAConversionAddNoFrameAndMoveNothing) {
  const TSampleFile& s = SampleFiles[1];
  const QString raw = SamplePath(SampleName(s));
  form->Session.SetDebayerMode(4);
  int shots = 0;
  QTimer commands;
  QObject::connect(&commands, &QTimer::timeout, form.get(), [&] {
    ++shots;
    form->Session.SetZoom(shots % 2 == 0 ? 2 : -2);
    form->resize(500 + shots, 400);
    form->mCopyFrameClick();
    form->mSaveFrameClick();
    // Refused: they would move the file, skip records or change the frames.
    form->mNextFrameClick();
    form->mGotoBeginClick();
    form->mStartClick();
    form->mDebayerMono->trigger();
    form->mSaveAVIClick();
    form->mOpenRAWfileClick();
  });
  commands.start(0);
  ASSERT_EQ(Convert(raw), Done(raw, Part(0, 0)));
  commands.stop();
  EXPECT_GE(shots, 2);
  EXPECT_EQ(form->Session.Player, nullptr);
  EXPECT_EQ(form->Session.CurrentDebayerMode, 4);
  EXPECT_EQ(AVIFiles(), QStringList{QStringLiteral("VIDEO_0000-PART-0000.AVI")});
  EXPECT_TRUE(QFile::exists(Work(QStringLiteral("FRAME_0000.BMP"))));
  EXPECT_TRUE(Decoded(Part(0, 0)) == Expected(raw, form->Session.Header, 4, nullptr));

  // Closing the window ends the conversion after the frame; the part is whole.
  QTimer::singleShot(0, form.get(), [&] { form->close(); });
  form->mSaveAVIClick();
  EXPECT_TRUE(messages.isEmpty()) << TakeMessages().toStdString();
  EXPECT_EQ(Probe(Part(1, 0)), QStringLiteral("rawvideo,320,180,bgr24,30/1,1"));
}

}  // namespace
