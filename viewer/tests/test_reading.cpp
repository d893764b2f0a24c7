// Reading RAW files: the edge cases of the format, hostile headers and
// records, the command line, descriptors, and a record beyond 4 GiB.
#include <QDirIterator>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <random>

#include <fcntl.h>
#include <unistd.h>

#include "viewer/tests/ViewerTestSupport.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new ViewerEnvironment);

class ReadingTest : public ViewerTest {
 protected:
  QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
  QString ReadError(const QString& path) const {
    return QStringLiteral("Error|Error read file:") + path;
  }
};

// Files the descriptors of this process have open.
int OpenDescriptorsTo(const QString& path) {
  int count = 0;
  QDirIterator it(QStringLiteral("/proc/self/fd"));
  while (it.hasNext()) {
    it.next();
    if (QFileInfo(it.filePath()).symLinkTarget() == QFileInfo(path).absoluteFilePath()) ++count;
  }
  return count;
}

TEST_F(ReadingTest, HeaderOnlyFileOpensAndHasNoFrame) {
  const QString path = Path("empty.raw");
  WriteRAWFile(path, MakeHeader(1, 16, 8), {});
  Open(path);
  EXPECT_TRUE(form->Session.FileOpen());
  EXPECT_TRUE(form->mNextFrame->isEnabled());
  form->mNextFrameClick();
  EXPECT_EQ(TakeMessages(), ReadError(path));
  EXPECT_EQ(form->Session.LastRecordRead(), TRecordRead::EndOfFile);
}

TEST_F(ReadingTest, ShortHeaderClosesTheFile) {
  const QString path = Path("short.raw");
  const RAWVideoHeader h = MakeHeader(1, 16, 8);
  WriteRAWFile(path, &h, RAWVideoHeaderSize - 1, {});
  Open(path);
  EXPECT_FALSE(form->Session.FileOpen());
  EXPECT_EQ(form->Session.FileName, path);
  EXPECT_FALSE(form->mNextFrame->isEnabled());
  form->mNextFrameClick();
  EXPECT_EQ(TakeMessages(), ReadError(path) + QStringLiteral("\nError|File not open!"));
  form->mGotoBeginClick();
  EXPECT_EQ(TakeMessages(), QStringLiteral("Error|File not open!"));
}

TEST_F(ReadingTest, TruncatedLastRecordIsNeverShown) {
  const QString path = Path("truncated.raw");
  std::vector<std::uint8_t> second(128, 7);
  WriteRAWFile(path, MakeHeader(1, 16, 8),
               {Record(std::vector<std::uint8_t>(128, 50)), {200, second}});
  Open(path);
  form->mNextFrameClick();
  EXPECT_EQ(form->StatusText(), QStringLiteral("Frame:1"));
  form->mNextFrameClick();
  EXPECT_EQ(TakeMessages(), ReadError(path));
  EXPECT_EQ(form->Session.LastRecordRead(), TRecordRead::Truncated);
  EXPECT_EQ(form->Session.FrameCounter, 1);
  EXPECT_EQ(form->StatusText(), QStringLiteral("Frame:1"));
}

// An empty record holds none of its frame's bytes: it is read (and
// counted) but never drawn; the previous frame stays with its number.
TEST_F(ReadingTest, EmptyRecordIsAnErrorAndNeverDrawn) {
  const QString path = Path("zero.raw");
  std::vector<std::uint8_t> frame(128);
  for (int i = 0; i < 128; ++i) frame[i] = static_cast<std::uint8_t>(2 * i);
  WriteRAWFile(path, MakeHeader(1, 16, 8), {Record(frame), Record({})});
  Open(path);
  form->mNextFrameClick();
  const QImage first = Shown();
  form->mNextFrameClick();
  EXPECT_EQ(TakeMessages(), ReadError(path));
  EXPECT_EQ(form->Session.LastRecordRead(), TRecordRead::Short);
  EXPECT_EQ(form->Session.FrameCounter, 2);
  EXPECT_EQ(form->Session.FrameBytes, 0u);
  form->Session.RepaintForm();
  EXPECT_EQ(form->StatusText(), QStringLiteral("Frame:1"));
  EXPECT_TRUE(Shown() == first);
  EXPECT_EQ(first.pixel(3, 0), qRgb(6, 6, 6));
}

TEST_F(ReadingTest, BadSignatureRendersAndZeroStatusDrawsNothing) {
  const QString path = Path("signature.raw");
  RAWVideoHeader h = MakeHeader(1, 16, 8);
  std::memcpy(h.Signature, "XYZ", 4);
  WriteRAWFile(path, h, {Record(std::vector<std::uint8_t>(128, 9))});
  Open(path);
  form->mNextFrameClick();
  EXPECT_EQ(Shown().pixel(0, 0), qRgb(9, 9, 9));

  // A zero-filled header (no camera answered) opens; nothing renders, and
  // nothing of the file before stays.
  const QString zero = Path("zero-header.raw");
  const RAWVideoHeader blank{};
  WriteRAWFile(zero, blank, {Record(std::vector<std::uint8_t>(64, 1))});
  Open(zero);
  EXPECT_TRUE(form->Session.FileOpen());
  ASSERT_TRUE(form->Session.ReadNextFrame());
  EXPECT_FALSE(form->Session.RenderFrame());
  EXPECT_EQ(form->StatusText(), QString());
  EXPECT_FALSE(form->VideoPanel->HasPicture());
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ReadingTest, CommandLineOpensOnlyASingleArgument) {
  const QString path = SamplePath(SampleName(SampleFiles[0]));
  const QString missing = Path("missing.raw");
  struct Case {
    QStringList arguments;
    bool open;
    QString message;
  } cases[] = {
      {{QStringLiteral("QDVView"), path}, true, {}},
      {{QStringLiteral("QDVView"), path, path}, false, {}},
      {{QStringLiteral("QDVView")}, false, {}},
      {{QStringLiteral("QDVView"), missing},
       false,
       QStringLiteral("Error|Error open file:") + missing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    TAppForm other;
    other.FormCreate(c.arguments);
    EXPECT_EQ(other.Session.FileOpen(), c.open);
    EXPECT_EQ(other.Session.FrameCounter, c.open ? 1 : 0);
    EXPECT_EQ(TakeMessages(), c.message);
    if (c.open) {
      other.Session.RepaintForm();
      EXPECT_EQ(other.StatusText(), QStringLiteral("Frame:1"));
      EXPECT_TRUE(other.VideoPanel->HasPicture());
    }
  }
}

TEST_F(ReadingTest, OpenDialogOpensAndShowsTheFirstFrame) {
  EXPECT_TRUE(form->OpenDialog->nameFilters().first().contains(QStringLiteral("*.RAW")));
  EXPECT_EQ(form->OpenDialog->windowTitle(), QStringLiteral("Open RAW video file"));
  const QString path = SamplePath(SampleName(SampleFiles[2]));
  form->Session.WorkDir = QFileInfo(path).absolutePath();  // without its "/"
  QTimer::singleShot(0, form.get(), [&] { form->OpenDialog->reject(); });
  form->mOpenRAWfileClick();
  EXPECT_FALSE(form->Session.FileOpen());
  EXPECT_EQ(form->Session.WorkDir, QFileInfo(path).absolutePath() + QStringLiteral("/"));
  QTimer::singleShot(0, form.get(), [&] {
    auto* name = form->OpenDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (name != nullptr) name->setText(QFileInfo(path).fileName());
    // The typed name counts once the dialog's file list knows the file (it
    // fills in the background).
    // A timeout shows as the file not being open below.
    (void)QTest::qWaitFor([&] { return !form->OpenDialog->selectedFiles().isEmpty(); }, 5000);
    static_cast<QDialog*>(form->OpenDialog)->done(QDialog::Accepted);
  });
  form->mOpenRAWfileClick();
  EXPECT_TRUE(form->Session.FileOpen());
  EXPECT_EQ(form->Session.FileName, path);
  EXPECT_EQ(form->StatusText(), QStringLiteral("Frame:1"));
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ReadingTest, SecondOpenLeavesOneDescriptorAndOnlyRegularFilesOpen) {
  const QString path = SamplePath(SampleName(SampleFiles[0]));
  Open(path);
  Open(path);
  EXPECT_EQ(OpenDescriptorsTo(path), 1);
  const QString fifo = Path("fifo.raw");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  for (const QString& bad : {fifo, dir.path(), QStringLiteral("/dev/zero")}) {
    Open(bad);
    EXPECT_FALSE(form->Session.FileOpen());
    EXPECT_EQ(TakeMessages(), QStringLiteral("Error|Error open file:") + bad);
  }
  EXPECT_EQ(OpenDescriptorsTo(path), 0);
}

TEST_F(ReadingTest, OverlongRecordsAreRefusedAndToldFromTheEnd) {
  for (std::uint32_t count : {RawBufferSize + 1, 0xFFFFFFFFu}) {
    const QString path = Path("long.raw");
    WriteRAWFile(path, MakeHeader(1, 16, 8), {{count, std::vector<std::uint8_t>(64, 1)}});
    Open(path);
    EXPECT_FALSE(form->Session.ReadNextFrame());
    EXPECT_EQ(form->Session.LastRecordRead(), TRecordRead::TooLong);
    EXPECT_EQ(form->Session.File.Position(), std::int64_t{RAWVideoHeaderSize});
    form->mNextFrameClick();
    EXPECT_EQ(TakeMessages(), ReadError(path));
  }
}

TEST_F(ReadingTest, HeadersBeyondTheBuffersAreUnreadable) {
  struct Case {
    std::int32_t status, width, height;
    bool opens;
  } cases[] = {
      {1, -16, 8, false},       {1, 16, -2, false},     {2, 65536, 65536, false},
      {1, 65536, 65536, false}, {2, 2048, 1073, false}, {2, 2048, 1072, true},
      {1, 4096, 1072, true},    {3, 4096, 1073, false}, {1, 0, 0, true},
      {5, 65536, 65536, true},  {5, -1, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.status << ": " << c.width << " x " << c.height);
    const QString path = Path("size.raw");
    WriteRAWFile(path, MakeHeader(c.status, c.width, c.height),
                 {Record(std::vector<std::uint8_t>(64, 3))});
    Open(path);
    EXPECT_EQ(form->Session.FileOpen(), c.opens);
    EXPECT_EQ(TakeMessages(), c.opens ? QString() : ReadError(path));
    if (c.opens && form->Session.ReadNextFrame()) {
      for (int mode = 0; mode <= 7; ++mode) form->Session.SetDebayerMode(mode);
    }
  }
}

// A new file starts from cleared buffers: an odd width (refused by every
// demosaic) shows black, never the previous file's picture.
TEST_F(ReadingTest, OddWidthNeverShowsThePreviousFile) {
  OpenAt(SamplePath(SampleName(SampleFiles[0])), 1);
  form->Session.SetDebayerMode(4);
  const QString path = Path("odd.raw");
  WriteRAWFile(path, MakeHeader(1, 15, 8), {Record(std::vector<std::uint8_t>(120, 200))});
  OpenAt(path, 1);
  form->Session.RepaintForm();
  const QImage shown = Shown();
  ASSERT_EQ(shown.size(), QSize(15, 8));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 15; ++x) ASSERT_EQ(shown.pixel(x, y), qRgb(0, 0, 0));
}

// Seeded mutations of small samples through every mode: the sanitizer build
// sees no access outside the buffers, and every failure is a message.
TEST_F(ReadingTest, MutatedFilesGiveMessagesNotCrashes) {
  std::mt19937 random(20261209);
  for (const TSampleFile& s : SampleFiles) {
    if (s.width != 320) continue;
    const std::vector<std::uint8_t> original = ReadBytes(SamplePath(SampleName(s)));
    for (int round = 0; round < 500; ++round) {
      std::vector<std::uint8_t> bytes = original;
      const int edits = 1 + static_cast<int>(random() % 8);
      for (int e = 0; e < edits; ++e) {
        // Mostly the fields that steer the reading: size, format, counts.
        const std::size_t at = random() % 3 == 0 ? 24 + random() % 12 : random() % bytes.size();
        bytes[at] = static_cast<std::uint8_t>(random());
      }
      if (random() % 4 == 0) bytes.resize(random() % bytes.size());
      const QString path = Path("mutated.raw");
      WriteRAWFile(path, bytes.data(), bytes.size(), {});
      Open(path);
      for (int step = 0; step < 3 && form->Session.FileOpen(); ++step) {
        form->mNextFrameClick();
        form->Session.SetDebayerMode(static_cast<int>(random() % 8));
        form->Session.RAWCorrectionOn = random() % 2 == 0;
        form->Session.WhiteBalanceRAWPending = random() % 2 == 0;
      }
      for (const QString& m : messages)
        ASSERT_TRUE(m.startsWith(QStringLiteral("Error|Error read file:")) ||
                    m.startsWith(QStringLiteral("Error|Error RAW header:")) ||
                    m == QStringLiteral("Error|File not open!"))
            << m.toStdString();
      messages.clear();
    }
  }
}

TEST_F(ReadingTest, GarbageCompressedRecordsDecodeInsideTheFrame) {
  std::mt19937 random(17);
  std::vector<TRecordSpec> records;
  for (int k = 0; k < 20; ++k) {
    std::vector<std::uint8_t> bytes(random() % 20000);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    records.push_back(Record(bytes));
  }
  const QString path = Path("garbage.raw");
  WriteRAWFile(path, MakeHeader(3, 320, 180), records);
  Open(path);
  for (int k = 0; k < 20; ++k) {
    form->Session.SetDebayerMode(k % 8);
    form->mNextFrameClick();
  }
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(form->Session.FrameCounter, 20);
}

// Records packed to just past 4 GiB (holes, so the disk holds almost
// nothing): the last one reads with 64-bit positions.
TEST_F(ReadingTest, RecordBeyondFourGiBReads) {
  const QString path = Path("sparse.raw");
  const RAWVideoHeader h = MakeHeader(1, 16, 8);
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, &h, sizeof h, 0), ssize_t(sizeof h));
  std::int64_t at = RAWVideoHeaderSize;
  int records = 0;
  auto put = [&](std::uint32_t count) {
    char prefix[RAWFrameRecordPrefixSize];
    PutRAWRecordLength(prefix, count);
    ASSERT_EQ(::pwrite(fd, prefix, 4, at), 4);
    at += 4 + count;
    ++records;
  };
  while (at < (std::int64_t{1} << 32)) put(RawBufferSize);
  const std::int64_t last = at;
  put(128);
  const std::vector<std::uint8_t> pattern(128, 77);
  ASSERT_EQ(::pwrite(fd, pattern.data(), 128, last + 4), 128);
  ::close(fd);

  Open(path);
  for (int k = 0; k < records; ++k) ASSERT_TRUE(form->Session.ReadNextFrame()) << k;
  EXPECT_EQ(form->Session.FrameBytes, 128u);
  EXPECT_EQ(form->Session.File.Position(), last + 4 + 128);
  form->Session.RepaintForm();
  EXPECT_EQ(Shown().pixel(5, 5), qRgb(77, 77, 77));
  EXPECT_FALSE(form->Session.ReadNextFrame());
  EXPECT_EQ(form->Session.LastRecordRead(), TRecordRead::EndOfFile);
}

}  // namespace
