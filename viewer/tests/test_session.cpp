// The viewer's session without a window: a view that records every call
// stands in for the main form. Hostile and damaged files opened and stepped,
// the exact picture and display size handed to the view, conversions that
// end well or fail, and playback driving the session from its thread.
#include <QDeadlineTimer>
#include <QFile>

#include <functional>

#include "viewer/AVIConversion.h"
#include "viewer/ViewerSession.h"
#include "viewer/tests/ViewerTestSupport.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new ViewerEnvironment);

// Every call of the session on its view, in order; the pictures whole.
class RecordingView : public IViewerView {
 public:
  struct TPicture {
    std::vector<std::uint8_t> bytes;
    std::int32_t width, height, bits, displayWidth, displayHeight;
  };
  void ShowPicture(const std::uint8_t* image, std::int32_t width, std::int32_t height,
                   std::int32_t bits, std::int32_t displayWidth,
                   std::int32_t displayHeight) override {
    const std::size_t size = std::size_t(width) * std::size_t(height) * std::size_t(bits / 8);
    pictures.push_back({{image, image + size}, width, height, bits, displayWidth, displayHeight});
  }
  void ShowStatus(const QString& text) override { status = text; }
  void ShowError(const QString& text) override { calls << QStringLiteral("Error|") + text; }
  void ShowMessage(const QString& text) override { calls << QStringLiteral("Message|") + text; }
  void EnableFileCommands(const QString& name) override {
    calls << QStringLiteral("Enable|") + name;
  }
  void FileChanged(bool open) override {
    calls << (open ? QStringLiteral("Changed|open") : QStringLiteral("Changed|none"));
  }
  QStringList Take() { return std::exchange(calls, {}); }

  QStringList calls;
  QString status;
  std::vector<TPicture> pictures;
};

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() { session.Create(dir.path()); }
  ~SessionTest() override { session.Close(); }

  QString Write(const QString& name, const RAWVideoHeader& header,
                const std::vector<TRecordSpec>& records) {
    const QString path = dir.filePath(name);
    WriteRAWFile(path, header, records);
    return path;
  }
  void Open(const QString& path) {
    session.FileName = path;
    session.OpenRAWFile();
  }

  QTemporaryDir dir;
  RecordingView view;
  TViewerSession session{view};
};

std::vector<std::uint8_t> Filled(std::size_t n, std::uint8_t value) {
  return std::vector<std::uint8_t>(n, value);
}

// Each file is opened, then Next Frame is given twice: what the view was
// told at each step, and how many pictures it got.
TEST_F(SessionTest, DamagedFilesAreReportedAndNeverDrawnPastTheirRecords) {
  const RAWVideoHeader eightBit = MakeHeader(1, 16, 8);
  struct Case {
    const char* name;
    std::function<QString()> make;
    QStringList open, first, second;  // "%1" is the file's path
    std::size_t pictures;
  } cases[] = {
      {"missing",
       [this] { return dir.filePath(QStringLiteral("missing.raw")); },
       {"Changed|none", "Error|Error open file:%1"},
       {"Error|File not open!"},
       {"Error|File not open!"},
       0},
      {"short header",
       [&] {
         const QString path = dir.filePath(QStringLiteral("short.raw"));
         WriteRAWFile(path, &eightBit, 100, {});
         return path;
       },
       {"Changed|none", "Changed|none", "Error|Error read file:%1"},
       {"Error|File not open!"},
       {"Error|File not open!"},
       0},
      {"frames larger than the buffers",
       [this] {
         return Write(QStringLiteral("huge.raw"), MakeHeader(2, 4000, 4000),
                      {Record(Filled(16, 1))});
       },
       {"Changed|none", "Changed|none", "Error|Error read file:%1"},
       {"Error|File not open!"},
       {"Error|File not open!"},
       0},
      {"no stream format",
       [this] {
         return Write(QStringLiteral("status0.raw"), MakeHeader(0, 16, 8),
                      {Record(Filled(128, 1))});
       },
       {"Changed|none", "Enable|%1", "Changed|open"},
       {"Error|Error RAW header:%1"},
       {"Error|Error RAW header:%1"},
       0},
      {"header alone",
       [&] { return Write(QStringLiteral("empty.raw"), eightBit, {}); },
       {"Changed|none", "Enable|%1", "Changed|open"},
       {"Error|Error read file:%1"},
       {"Error|Error read file:%1"},
       0},
      {"record longer than the buffer",
       [&] {
         return Write(QStringLiteral("long.raw"), eightBit, {{RawBufferSize + 1, {}}});
       },
       {"Changed|none", "Enable|%1", "Changed|open"},
       {"Error|Error read file:%1"},
       {"Error|Error read file:%1"},
       0},
      {"last record cut short",
       [&] {
         return Write(QStringLiteral("cut.raw"), eightBit,
                      {Record(Filled(128, 7)), {128, Filled(10, 9)}});
       },
       {"Changed|none", "Enable|%1", "Changed|open"},
       {},
       {"Error|Error read file:%1"},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingView fresh;
    TViewerSession s(fresh);
    s.Create(dir.path());
    s.FileName = c.make();
    auto expand = [&](QStringList list) {
      for (QString& line : list) line = line.arg(s.FileName);
      return list;
    };
    s.OpenRAWFile();
    EXPECT_EQ(fresh.Take(), expand(c.open));
    s.NextFrame();
    EXPECT_EQ(fresh.Take(), expand(c.first));
    s.NextFrame();
    EXPECT_EQ(fresh.Take(), expand(c.second));
    ASSERT_EQ(fresh.pictures.size(), c.pictures);
    // A picture drawn is the one whole record read, never the cut one.
    for (const RecordingView::TPicture& p : fresh.pictures) EXPECT_EQ(p.bytes, Filled(128, 7));
    s.Close();
  }
}

// The view gets the frame's samples byte for byte, at the zoomed size, and
// the counter of the record read.
TEST_F(SessionTest, StepsHandTheViewEachRecordAtTheZoomedSize) {
  std::vector<std::uint8_t> first(16 * 8), second(16 * 8);
  for (std::size_t i = 0; i < first.size(); ++i) {
    first[i] = static_cast<std::uint8_t>(i);
    second[i] = static_cast<std::uint8_t>(255 - i);
  }
  Open(Write(QStringLiteral("two.raw"), MakeHeader(1, 16, 8), {Record(first), Record(second)}));
  struct Step {
    std::function<void()> act;
    std::vector<std::uint8_t> bytes;
    std::int32_t displayWidth, displayHeight;
    const char* status;
  } steps[] = {
      {[&] { session.NextFrame(); }, first, 16, 8, "Frame:1"},
      {[&] { session.SetZoom(3); }, first, 48, 24, "Frame:1"},
      {[&] { session.NextFrame(); }, second, 48, 24, "Frame:2"},
      {[&] { session.SetZoom(-2); }, second, 8, 4, "Frame:2"},
      {[&] { session.GotoBegin(); }, first, 8, 4, "Frame:1"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.status);
    view.pictures.clear();
    step.act();
    ASSERT_EQ(view.pictures.size(), 1u);
    const RecordingView::TPicture& p = view.pictures.front();
    EXPECT_EQ(p.bytes, step.bytes);
    EXPECT_EQ(p.bits, 8);
    EXPECT_EQ(p.displayWidth, step.displayWidth);
    EXPECT_EQ(p.displayHeight, step.displayHeight);
    EXPECT_EQ(view.status, QString::fromLatin1(step.status));
  }
  EXPECT_EQ(view.Take(),
            (QStringList{"Changed|none", "Enable|" + session.FileName, "Changed|open"}));
}

// A conversion driven without a window: what it tells the view, the parts it
// leaves and where it leaves the file.
TEST_F(SessionTest, ConversionsReportHowTheyEndedAndRewind) {
  std::vector<TRecordSpec> records;
  for (int k = 1; k <= 3; ++k) records.push_back(Record(Filled(16 * 8, std::uint8_t(k))));
  const QString raw = Write(QStringLiteral("three.raw"), MakeHeader(1, 16, 8), records);
  const QString out = dir.filePath(QStringLiteral("out/"));
  const QString part = out + QStringLiteral("VIDEO_0000-PART-0000.AVI");
  struct Case {
    const char* name;
    QString workDir;
    QStringList calls;
    std::size_t pictures;
    bool partMade;
  } cases[] = {
      {"done", out, {"Message|Convert from '" + raw + "' to '" + part + "' done."}, 3, true},
      {"folder missing",
       dir.filePath(QStringLiteral("none/")),
       {"Error|Error make AVI file:" + dir.filePath(QStringLiteral("none/")) +
        "VIDEO_0000-PART-0000.AVI"},
       0,
       false},
  };
  ASSERT_TRUE(QDir().mkpath(out));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Open(raw);
    session.NextFrame();
    session.NextFrame();  // the conversion starts at record 1 whatever is shown
    view.Take();
    view.pictures.clear();
    session.WorkDir = c.workDir;
    session.AVICounter = 0;
    view.status = QStringLiteral("Frame:2");
    ConvertToAVI(session);
    EXPECT_EQ(view.Take(), c.calls);
    ASSERT_EQ(view.pictures.size(), c.pictures);
    for (std::size_t k = 0; k < c.pictures; ++k)
      EXPECT_EQ(view.pictures[k].bytes, Filled(16 * 8, std::uint8_t(k + 1)));
    EXPECT_EQ(QFile::exists(c.workDir + QStringLiteral("VIDEO_0000-PART-0000.AVI")), c.partMade);
    EXPECT_TRUE(view.status.isEmpty());
    EXPECT_FALSE(session.AVIRecording);
    EXPECT_FALSE(session.Converting());
    // Back at record 1 either way.
    EXPECT_EQ(session.FrameCounter, 1);
  }
}

// The playback thread drives the session alone: every record is painted in
// order, then it ends by itself and is forgotten.
TEST_F(SessionTest, PlaybackPaintsEveryRecordThroughTheView) {
  std::vector<TRecordSpec> records;
  for (int k = 1; k <= 5; ++k) records.push_back(Record(Filled(16 * 8, std::uint8_t(k))));
  Open(Write(QStringLiteral("five.raw"), MakeHeader(1, 16, 8), records));
  session.VideoLoop = false;
  session.StartPlayback();
  const QDeadlineTimer deadline(10000);
  while (session.PlaybackRunning() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  ASSERT_FALSE(session.PlaybackRunning());
  EXPECT_EQ(session.Player, nullptr);
  ASSERT_EQ(view.pictures.size(), 5u);
  for (std::size_t k = 0; k < 5; ++k)
    EXPECT_EQ(view.pictures[k].bytes, Filled(16 * 8, std::uint8_t(k + 1)));
  EXPECT_EQ(view.status, QStringLiteral("Frame:5"));
  // The end of the file ends playback silently.
  EXPECT_EQ(view.Take(),
            (QStringList{"Changed|none", "Enable|" + session.FileName, "Changed|open"}));
}

}  // namespace
