// The playback thread: every record painted in order, looping, a thread
// ending by itself, Start twice, and Stop, Open, Go to begin and closing
// while the thread plays and the GUI thread renders by itself (run under
// ThreadSanitizer: no race, no deadlock); a header lost at a rewind is
// reported by the GUI thread.
#include <QDeadlineTimer>
#include <QThread>

#include <functional>

#include "viewer/Playback.h"
#include "viewer/tests/ViewerTestSupport.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new ViewerEnvironment);

// Counts the renders (each one hands the histogram its picture) and keeps
// the frame number each one showed. `onRender` runs in the GUI thread while
// the playback thread waits for that paint, before it reads on.
class RenderLog : public IViewerHistogram {
 public:
  explicit RenderLog(TAppForm& form) : form_(form) {}
  bool IsShown() const override { return true; }
  void ShowNonModal() override {}
  void UpdateRAW(const void*, std::int32_t, bool, std::int32_t, std::int32_t) override {}
  void UpdateRGB(const std::uint8_t*, std::int32_t, bool, std::int32_t) override {
    frames.push_back(form_.Session.FrameCounter);
    if (onRender) onRender();
  }
  std::vector<std::int32_t> frames;
  std::function<void()> onRender;

 private:
  TAppForm& form_;
};

class PlaybackTest : public ViewerTest {
 protected:
  PlaybackTest() { form->Session.HistogramView = &log; }
  ~PlaybackTest() override { form->Session.HistogramView = nullptr; }

  // An 8-bit file of `records` 16 x 8 frames; record k is filled with k.
  QString MakeFile(const QString& name, int records) {
    std::vector<TRecordSpec> list;
    for (int k = 1; k <= records; ++k)
      list.push_back(Record(std::vector<std::uint8_t>(16 * 8, static_cast<std::uint8_t>(k))));
    const QString path = dir.filePath(name);
    WriteRAWFile(path, MakeHeader(1, 16, 8), list);
    return path;
  }
  // Processes events until done() or ten seconds have passed.
  static bool WaitUntil(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(10000);
    while (!done()) {
      if (deadline.hasExpired()) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
  }
  bool WaitForRenders(std::size_t n) {
    return WaitUntil([&] { return log.frames.size() >= n; });
  }

  RenderLog log{*form};
};

TEST_F(PlaybackTest, AOneFrameFileLoopsUntilStoppedOrEndsWithoutLoop) {
  OpenAt(MakeFile(QStringLiteral("one.raw"), 1), 0);
  form->mStartClick();
  ASSERT_TRUE(WaitForRenders(20));
  form->mStopClick();
  EXPECT_EQ(form->Session.Player, nullptr);
  for (std::int32_t frame : log.frames) EXPECT_EQ(frame, 1);
  const std::size_t painted = log.frames.size();
  QCoreApplication::processEvents();
  EXPECT_EQ(log.frames.size(), painted);  // nothing queued is painted after the stop

  form->mVideoLoopClick();
  ASSERT_FALSE(form->Session.VideoLoop);
  form->mGotoBeginClick();
  form->mStartClick();
  // The thread ends by itself and the form forgets it.
  ASSERT_TRUE(WaitUntil([&] { return form->Session.Player == nullptr; }));
  form->mStopClick();
  form->mNextFrameClick();
  EXPECT_EQ(TakeMessages(), QStringLiteral("Error|Error read file:") + form->Session.FileName);
}

TEST_F(PlaybackTest, EveryRecordIsPaintedInOrderAcrossRestartsAndRewinds) {
  OpenAt(MakeFile(QStringLiteral("five.raw"), 5), 0);
  form->mStartClick();
  form->mStartClick();  // stops the first thread, then starts one
  ASSERT_TRUE(WaitForRenders(8));
  form->mStartClick();
  ASSERT_TRUE(WaitForRenders(16));
  form->mStopClick();
  ASSERT_GE(log.frames.size(), 16u);
  EXPECT_EQ(log.frames.front(), 1);
  for (std::size_t i = 1; i < log.frames.size(); ++i)
    EXPECT_EQ(log.frames[i], log.frames[i - 1] % 5 + 1) << i;
  // The picture is the record's.
  EXPECT_EQ(qRed(Shown().pixel(0, 0)), log.frames.back());
}

// Commands that touch the file, renders the GUI thread starts by itself and
// the window's closing, all while the thread plays.
TEST_F(PlaybackTest, CommandsAndRendersWhilePlaying) {
  const QString second = MakeFile(QStringLiteral("second.raw"), 3);
  OpenAt(MakeFile(QStringLiteral("first.raw"), 4), 0);
  for (int round = 0; round < 20; ++round) {
    form->mStartClick();
    for (int i = 0; i < 5; ++i) {
      form->Session.SetZoom(i % 2 == 0 ? 2 : 1);  // a render while the thread may read
      form->mNextFrameClick();                    // only renders while playing
      QCoreApplication::processEvents();
    }
    switch (round % 3) {
      case 0:
        form->mGotoBeginClick();
        EXPECT_EQ(form->StatusText(), QStringLiteral("Frame:1"));
        break;
      case 1: form->mStopClick(); break;
      case 2:
        form->Session.StopPlayback();
        form->Session.FileName =
            round % 2 == 0 ? second : dir.filePath(QStringLiteral("first.raw"));
        form->Session.OpenRAWFile();
        break;
    }
    EXPECT_EQ(form->Session.Player, nullptr);
  }
  form->mStartClick();
  ASSERT_TRUE(WaitForRenders(log.frames.size() + 3));
  form->FormClose();  // the thread has ended before the file closes
  EXPECT_EQ(form->Session.Player, nullptr);
  EXPECT_FALSE(form->Session.FileOpen());
  EXPECT_TRUE(messages.isEmpty()) << TakeMessages().toStdString();
}

// A 1080p sample with colour correction: the correction's own worker
// threads take part in each paint.
TEST_F(PlaybackTest, ALargeCorrectedSamplePlays) {
  const TSampleFile& s = SampleFiles[5];  // 12-bit 1920 x 1080, two records
  OpenAt(SamplePath(SampleName(s)), 0);
  SetColorCorrectionMatrix(form->Session.ColorCorrectionObject.get(), SampleCorrectionMatrix);
  SetColorCorrectionMode(form->Session.ColorCorrectionObject.get(), CorrectionMatrix);
  form->Session.CorrectionOn = true;
  form->Session.SetDebayerMode(4);
  form->mStartClick();
  ASSERT_TRUE(WaitForRenders(5));
  form->Session.SetZoom(-2);
  form->mStopClick();
  EXPECT_EQ(Shown().size(), QSize(s.width, s.height));
  EXPECT_TRUE(messages.isEmpty()) << TakeMessages().toStdString();
}

TEST_F(PlaybackTest, AHeaderLostAtTheRewindIsReportedByTheGuiThread) {
  const QString path = MakeFile(QStringLiteral("cut.raw"), 3);
  OpenAt(path, 0);
  bool fromGui = true;
  const ScopedMessageSink sink([&](MessageKind, const QString& caption, const QString& text) {
    fromGui = fromGui && QThread::currentThread() == qApp->thread();
    messages.append(caption + QStringLiteral("|") + text);
  });
  // Cut the file while the thread waits for the paint of the second pass's
  // first record: its next read fails, and the rewind finds no header.
  bool cut = false;
  log.onRender = [&] {
    if (log.frames.size() == 4) cut = QFile::resize(path, 1000);
  };
  form->mStartClick();
  ASSERT_TRUE(WaitForRenders(4));
  ASSERT_TRUE(cut);
  ASSERT_TRUE(WaitUntil([&] { return form->Session.Player == nullptr; }));
  EXPECT_TRUE(fromGui);
  EXPECT_EQ(TakeMessages(), QStringLiteral("Error|Error read file:") + path);
  EXPECT_FALSE(form->Session.FileOpen());
}

}  // namespace
