// After every open, good or bad, the window describes the file that is open
// or no file: the caption, the picture, the frame counter, the file
// information and the histograms; and every command that needs a frame
// either acts or says why it cannot. Records that do not fit their header
// are errors in playback too.
#include <QDeadlineTimer>
#include <QPlainTextEdit>

#include <functional>

#include "viewer/TFileInfo.h"
#include "viewer/THistogram.h"
#include "viewer/tests/ViewerTestSupport.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new ViewerEnvironment);

class FileStatesTest : public ViewerTest {
 protected:
  FileStatesTest() { form->Session.WorkDir = dir.path(); }
  ~FileStatesTest() override {
    form->FileInfoView = nullptr;
    form->Session.HistogramView = nullptr;
  }
  QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
  // What the open command does once its dialog has the name.
  QString OpenFromMenu(const QString& path) {
    form->Session.FileName = path;
    form->Session.OpenRAWFile();
    form->mNextFrameClick();
    return TakeMessages();
  }
  QString InfoText() const { return fileInfo.Memo->toPlainText(); }

  TFileInfo fileInfo{form.get()};
  THistogram histogram{form.get()};
};

TEST_F(FileStatesTest, EveryOpenShowsTheOpenFileOrNoneAndCommandsSayWhy) {
  const QString good = SamplePath(SampleName(SampleFiles[0]));
  const std::vector<std::uint8_t> goodBytes = ReadBytes(good);
  const std::vector<std::uint8_t> frame8(320 * 180, 90);
  std::vector<std::uint8_t> cut(goodBytes.begin(), goodBytes.begin() + RAWVideoHeaderSize + 1004);
  std::vector<std::uint8_t> cutHeader(goodBytes.begin(), goodBytes.begin() + 1000);

  const QString fileNotOpen = QStringLiteral("Error|File not open!");
  struct Case {
    const char* name;
    std::function<void(const QString&)> write;
    // What opening it says, and what each command needing a frame says
    // (F2, F3, Space, Home, H): the same text for all five.
    const char* openSays;  // "header", "read" or "" (nothing)
    const char* commandsSay;
    bool open;
  } cases[] = {
      {"renders-nothing.raw",
       [&](const QString& p) { WriteRAWFile(p, MakeHeader(0, 320, 180), {Record(frame8)}); },
       "header", "header", true},
      {"negative-width.raw",
       [&](const QString& p) { WriteRAWFile(p, MakeHeader(1, -320, 180), {Record(frame8)}); },
       "read", "not open", false},
      {"short-records.raw",
       [&](const QString& p) {
         WriteRAWFile(p, MakeHeader(1, 320, 180),
                      {Record(std::vector<std::uint8_t>(320 * 179, 7)),
                       Record(std::vector<std::uint8_t>(320 * 180 - 1, 7))});
       },
       "read", "read", true},
      {"12-bit-over-8-bit.raw",
       [&](const QString& p) {
         WriteRAWFile(p, MakeHeader(2, 320, 180), {Record(frame8), Record(frame8)});
       },
       "read", "read", true},
      {"cut-record.raw", [&](const QString& p) { WriteRAWFile(p, cut.data(), cut.size(), {}); },
       "read", "read", true},
      {"cut-header.raw",
       [&](const QString& p) { WriteRAWFile(p, cutHeader.data(), cutHeader.size(), {}); }, "read",
       "not open", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A good file at its third frame, with both windows showing it.
    ASSERT_EQ(OpenFromMenu(good), QString());
    form->mNextFrameClick();
    form->mFileInfoClick();
    form->mHistogramClick();
    form->mNextFrameClick();
    ASSERT_EQ(form->StatusText(), QStringLiteral("Frame:3"));
    ASSERT_TRUE(InfoText().startsWith(QStringLiteral("FileName: '") + good));
    ASSERT_NE(histogram.Panel(0), QString());

    const QString path = Path(c.name);
    c.write(path);
    auto said = [&](const char* kind) {
      const QString k = QString::fromLatin1(kind);
      if (k == QStringLiteral("header")) return QStringLiteral("Error|Error RAW header:") + path;
      if (k == QStringLiteral("read")) return QStringLiteral("Error|Error read file:") + path;
      if (k == QStringLiteral("not open")) return fileNotOpen;
      return QString();
    };
    // A failed header read is followed by the first frame's "File not open!".
    const QString opening = OpenFromMenu(path);
    EXPECT_EQ(opening, c.open ? said(c.openSays) : said(c.openSays) + "\n" + fileNotOpen);
    EXPECT_EQ(form->Session.FileOpen(), c.open);

    EXPECT_EQ(form->windowTitle(),
              c.open ? TAppForm::FileCaption + path : QString::fromLatin1(TAppForm::DesignCaption));
    EXPECT_FALSE(form->VideoPanel->HasPicture());
    EXPECT_EQ(form->StatusText(), QString());
    EXPECT_EQ(InfoText().section(QLatin1Char('\n'), 0, 0),
              c.open ? QStringLiteral("FileName: '") + path + QStringLiteral("'")
                     : QStringLiteral("No RAW file loaded"));
    for (int panel = 0; panel < THistogram::StatusPanelCount; ++panel)
      EXPECT_EQ(histogram.Panel(panel), QString()) << panel;

    const std::pair<const char*, void (TAppForm::*)()> commands[] = {
        {"F2", &TAppForm::mSaveFrameClick},    {"F3", &TAppForm::mSaveAVIClick},
        {"Space", &TAppForm::mNextFrameClick}, {"Home", &TAppForm::mGotoBeginClick},
        {"H", &TAppForm::mHistogramClick},
    };
    for (const auto& [key, command] : commands) {
      (form.get()->*command)();
      EXPECT_EQ(TakeMessages(), said(c.commandsSay)) << key;
      EXPECT_FALSE(form->VideoPanel->HasPicture()) << key;
    }
    // I shows the window, which names the file or says there is none.
    form->mFileInfoClick();
    EXPECT_TRUE(fileInfo.isVisible());
    EXPECT_EQ(TakeMessages(), QString());
    EXPECT_EQ(InfoText().startsWith(QStringLiteral("No RAW file loaded")), !c.open);
    // Nothing was exported.
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.BMP"), QStringLiteral("*.AVI")}),
              QStringList());
  }
}

// A record that does not fit its header ends playback with the error, after
// the good records before it; the file stays open at it.
TEST_F(FileStatesTest, PlaybackStopsAtARecordShorterThanItsFrame) {
  const std::vector<std::uint8_t> frame(16 * 8, 40);
  const QString path = Path("short-in-the-middle.raw");
  WriteRAWFile(path, MakeHeader(1, 16, 8),
               {Record(frame), Record(frame), Record(std::vector<std::uint8_t>(16 * 8 - 1, 9)),
                Record(frame)});
  ASSERT_EQ(OpenFromMenu(path), QString());
  form->mStartClick();
  const QDeadlineTimer deadline(10000);
  while (form->Session.PlaybackRunning() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  ASSERT_FALSE(form->Session.PlaybackRunning());
  EXPECT_EQ(TakeMessages(), QStringLiteral("Error|Error read file:") + path);
  EXPECT_TRUE(form->Session.FileOpen());
  EXPECT_EQ(form->StatusText(), QStringLiteral("Frame:2"));
  EXPECT_EQ(Shown().pixel(0, 0), qRgb(40, 40, 40));
  // Next Frame goes on after it.
  form->mNextFrameClick();
  EXPECT_EQ(form->StatusText(), QStringLiteral("Frame:4"));
  EXPECT_EQ(TakeMessages(), QString());
}

}  // namespace
