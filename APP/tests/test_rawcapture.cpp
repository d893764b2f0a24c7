// RAW capture end to end on the simulated camera: the file's records against
// the camera's frames, the frame limit, drops on a slow disk, failed writes,
// the set-up failures, Stop Video, a process killed mid-capture, and the
// header's flags and frame bounds against a driver that answers out of range.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include "APP/capture/MemPool.h"
#include "APP/capture/RAWCapture.h"
#include "APP/tests/AppTestSupport.h"
#include "common/Messages.h"
#include "common/RAWVideo.h"
#include "imaging/pixelutil.h"
#include "platform/device.h"
#include "platform/handle.h"

// Texts in failure messages.
static void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

namespace {

using Bytes = std::vector<std::uint8_t>;

class CaptureSettingsView : public FakeSettingsView {
 public:
  QString CapturePath() const override { return path; }
  QString path;
};

// A RAW file read back: the header and every complete record.
struct RAWFile {
  explicit RAWFile(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return;
    const QByteArray all = file.readAll();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(all.constData());
    const std::uint64_t size = static_cast<std::uint64_t>(all.size());
    if (size < RAWVideoHeaderSize) return;
    header.assign(bytes, bytes + RAWVideoHeaderSize);
    std::uint64_t at = RAWVideoHeaderSize;
    while (size - at >= RAWFrameRecordPrefixSize) {
      const std::uint32_t n = GetRAWRecordLength(bytes + at);
      if (size - at - RAWFrameRecordPrefixSize < n) break;  // cut off mid-record
      records.emplace_back(bytes + at + 4, bytes + at + 4 + n);
      at += RAWFrameRecordPrefixSize + n;
    }
  }
  Bytes header;
  std::vector<Bytes> records;
};

// A file system of 1 MiB of its own (ext4 in a file, mounted through a loop
// device), small enough to fill up. Needs root and the ext4 tools.
class TSmallDisk {
 public:
  explicit TSmallDisk(const QString& folder)
      : image_(folder + "/disk.img"), root_(folder + "/disk") {
    QFile image(image_);
    if (!QDir().mkpath(root_) || !image.open(QIODevice::WriteOnly) || !image.resize(1 << 20))
      return;
    image.close();
    mounted_ = Run("mkfs.ext4",
                   {"-q", "-b", "1024", "-N", "256", "-m", "0", "-O", "^has_journal", image_}) &&
               Run("mount", {"-o", "loop", image_, root_});
  }
  ~TSmallDisk() {
    if (mounted_) ::umount2(QFile::encodeName(root_).constData(), MNT_DETACH);
  }
  TSmallDisk(const TSmallDisk&) = delete;
  TSmallDisk& operator=(const TSmallDisk&) = delete;

  bool Mounted() const { return mounted_; }
  const QString& Root() const { return root_; }

  // Takes every free block, then every free slot of the folder's list of
  // names, with names as long as a capture's first: a new name then needs a
  // block that is not there.
  void Fill() {
    const platform::UniqueFd filler(
        ::open(QFile::encodeName(Filler()).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    const std::vector<char> block(1024, 'f');
    while (filler && ::write(filler.get(), block.data(), block.size()) > 0) {
    }
    for (int i = 0; i < 10000; ++i) {
      const QString name = root_ + QString::asprintf("/A%010d", i);
      if (!platform::UniqueFd(::open(QFile::encodeName(name).constData(),
                                     O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)))
        break;
    }
  }
  QString Filler() const { return root_ + "/filler"; }

  std::uint64_t FreeBytes() const {
    struct statvfs disk {};
    if (::statvfs(QFile::encodeName(root_).constData(), &disk) != 0) return 0;
    return std::uint64_t{disk.f_bfree} * disk.f_frsize;
  }

 private:
  // Started with posix_spawn rather than QProcess: Qt starts its child in
  // the parent's memory before the exec, which under ThreadSanitizer runs
  // instrumented code there and corrupts the parent's race bookkeeping.
  static bool Run(const char* tool, const QStringList& arguments) {
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(tool),
                                                        {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
    if (path.isEmpty()) return false;
    std::vector<QByteArray> texts{QFile::encodeName(path)};
    for (const QString& argument : arguments) texts.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  QString image_;
  QString root_;
  bool mounted_ = false;
};

class RAWCaptureTest : public CameraTestBase, public ::testing::Test {
 protected:
  RAWCaptureTest()
      : sink([this](MessageKind, const QString& caption, const QString& text) {
          messages << caption + ": " + text;
        }) {
    settings.path = folder.path() + "/";
    controller->SettingsView = &settings;
    controller->Captures.PoolBlockCount = 4;
    controller->Captures.PoolBlockSizeMB = 1;
    SetStream(QDV_STREAM_RAW8);
    Driver driver;
    ViewPortRecord region{};
    region.SizeX = 320;
    region.SizeY = 240;
    EXPECT_TRUE(SetViewPort(driver.handle, &region));
  }
  ~RAWCaptureTest() override {
    SetRAWCaptureWriter(nullptr);
    SetSystemFileReader(nullptr);
    SetPagePreparer(nullptr);
  }

  // The system files that the memory check reads; any other is missing.
  static void SetSystemFiles(std::map<std::string, std::string> files) {
    SetSystemFileReader([files](const std::string& path) -> std::optional<std::string> {
      const auto found = files.find(path);
      if (found == files.end()) return std::nullopt;
      return found->second;
    });
  }

  // 8-bit 320 x 240 frames: 76,804-byte records; a 1 MiB block takes
  // records while 240 + 4 rows of 640 bytes and a length are free.
  static constexpr std::size_t FramesPerBlock = 12;

  void SetStream(DWORD status) {
    Driver driver;
    ASSERT_TRUE(SetStreamStatus(driver.handle, status));
  }
  QString FileName(int number) const {
    return settings.path + "VIDEO_" + QString::number(number) + ".RAW";
  }
  QStringList Files() const { return QDir(folder.path()).entryList(QDir::Files); }

  // The header that the camera's present settings give.
  static Bytes Header() {
    Bytes header(RAWVideoHeaderSize);
    CameraDevice->FillRAWHeader(header.data());
    return header;
  }
  Bytes Frame(std::uint64_t number) const {
    Bytes frame(FrameBufferSize);
    DWORD bytes = 0;
    EXPECT_EQ(camera.RenderFrame(number, frame.data(), FrameBufferSize, bytes), 0u);
    frame.resize(bytes);
    return frame;
  }
  // Every record is a camera frame, in capture order, starting at `first`;
  // frames that were dropped are skipped. Returns the frames skipped.
  std::uint64_t ExpectFramesInOrder(const RAWFile& file, std::uint64_t first) const {
    std::uint64_t number = first;
    for (std::size_t i = 0; i < file.records.size(); ++i, ++number) {
      const std::uint64_t limit = number + 1000;
      while (number < limit && Frame(number) != file.records[i]) ++number;
      if (number == limit) {
        ADD_FAILURE() << "record " << i << " is no frame from " << first;
        break;
      }
    }
    return number - first - file.records.size();
  }
  // The counters of status panel 0 after a capture: frames and drops.
  std::pair<int, int> FinalCounters() const {
    const auto match =
        QRegularExpression(R"(^(\d+)\((\d+)\) \.\.\.$)").match(mainView.panels[PanelStatus]);
    EXPECT_TRUE(match.hasMatch()) << mainView.panels[PanelStatus].toStdString();
    return {match.captured(1).toInt(), match.captured(2).toInt()};
  }

  QTemporaryDir folder;
  CaptureSettingsView settings;
  QStringList messages;
  ScopedMessageSink sink;
};

TEST_F(RAWCaptureTest, EveryStreamFormatIsStoredByteForByteAndFailedReadsUseUpTheLimit) {
  controller->Captures.Frames2Capture = 100;
  controller->Captures.PoolBlockCount = 16;  // room for every frame: no drop, however slow the disk
  int number = 0;
  for (DWORD code :
       {QDV_STREAM_RAW8, QDV_STREAM_PACKED12, QDV_STREAM_COMPRESSED8, QDV_STREAM_PACKED10}) {
    SCOPED_TRACE(code);
    SetStream(code);
    camera.FailRequests(QDV_IOCTL_GET_FRAME, 3);
    const std::uint64_t first = camera.FrameNumber();
    controller->SaveRAWVideo();

    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
    EXPECT_EQ(mainView.panels[PanelStatus], "97(0) ...");
    EXPECT_EQ(controller->Captures.RAWCounter, number);
    const RAWFile file(FileName(number++));
    EXPECT_EQ(file.header, Header());
    ASSERT_EQ(file.records.size(), 97u);
    EXPECT_EQ(ExpectFramesInOrder(file, first), 0u);
    EXPECT_EQ(camera.RequestCount(QDV_IOCTL_GET_FRAME), 100u * number);
    EXPECT_EQ(mainView.panels[PanelFPS], "ESC - STOP");
    EXPECT_FALSE(controller->Captures.CaptureRunning);
    EXPECT_TRUE(settings.enabled);
  }
  EXPECT_EQ(Files().size(), 4);
}

TEST_F(RAWCaptureTest, SetUpFailuresAreReportedAndLeaveNoFile) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    QString message;
  };
  const std::vector<Case> cases = {
      {"device absent", [&] { camera.SetAbsent(true); }, "ERROR!: Camera open fail."},
      {"region unreadable", [&] { camera.FailRequests(QDV_IOCTL_VIEWPORT); },
       "ERROR!: Cannot get viewport setting."},
      {"stream unreadable", [&] { camera.FailRequests(QDV_IOCTL_STREAM_STATUS); },
       "ERROR!: Cannot get viewport setting."},
      {"stream off", [&] { SetStream(QDV_STREAM_OFF); }, "ERROR!: Cannot save video"},
      {"no folder", [&] { settings.path += "missing/"; },
       "ERROR!: Cannot open file : " + folder.path() + "/missing/VIDEO_0.RAW"},
      {"too many blocks", [&] { controller->Captures.PoolBlockCount = 1025; },
       "ERROR!: Out of memory"},
      // 4 blocks of 1 MiB and the reserve the rest of the program keeps.
      {"memory short",
       [&] {
         SetSystemFiles({{"/proc/meminfo", "MemAvailable: 36000 kB\n"}});
       },
       "ERROR!: Out of memory"},
      {"cgroup limit reached",
       [&] {
         SetSystemFiles({{"/proc/meminfo", "MemAvailable: 8000000 kB\n"},
                         {"/proc/self/cgroup", "0::/app\n"},
                         {"/sys/fs/cgroup/app/memory.max", "400000000\n"},
                         {"/sys/fs/cgroup/app/memory.current", "370000000\n"}});
       },
       "ERROR!: Out of memory"},
      {"capture running", [&] { controller->Captures.CaptureRunning = true; }, QString()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    camera.ResetRequestCounts();
    messages.clear();
    c.arrange();
    controller->SaveRAWVideo();
    EXPECT_EQ(messages, c.message.isEmpty() ? QStringList() : QStringList{c.message});
    EXPECT_TRUE(Files().isEmpty());
    EXPECT_EQ(camera.RequestCount(QDV_IOCTL_GET_FRAME), 0u);
    EXPECT_TRUE(settings.enabled);
    camera.SetAbsent(false);
    camera.ClearFailures();
    SetStream(QDV_STREAM_RAW8);
    settings.path = folder.path() + "/";
    controller->Captures.PoolBlockCount = 4;
    controller->Captures.CaptureRunning = false;
    SetSystemFileReader(nullptr);
  }
}

TEST_F(RAWCaptureTest, ASlowDiskDropsFramesThatTheFileThenLacks) {
  // The first block's write lasts until the loop has read 150 frames.
  int writes = 0;
  SetRAWCaptureWriter([&](int file, const void* data, std::uint64_t size) {
    const QDeadlineTimer deadline(10000);
    if (++writes == 2) {
      while (camera.RequestCount(QDV_IOCTL_GET_FRAME) < 150 && !deadline.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return WriteRAWVideoData(file, data, size);
  });
  controller->Captures.PoolBlockCount = 2;
  controller->Captures.Frames2Capture = 200;
  const std::uint64_t first = camera.FrameNumber();
  controller->SaveRAWVideo();
  const auto [frames, drops] = FinalCounters();
  EXPECT_EQ(frames, 200);
  EXPECT_GE(drops, 150 - 2 * static_cast<int>(FramesPerBlock));
  const RAWFile file(FileName(0));
  EXPECT_EQ(file.records.size(), static_cast<std::size_t>(frames - drops));
  // Dropped frames after the last stored one leave no gap.
  EXPECT_LE(ExpectFramesInOrder(file, first), static_cast<std::uint64_t>(drops));
}

TEST_F(RAWCaptureTest, FailedWritesEndTheCaptureAndSayWhatWasStored) {
  for (int failingWrite : {1, 3}) {  // the header; the second block
    SCOPED_TRACE(failingWrite);
    int writes = 0;
    SetRAWCaptureWriter([&writes, failingWrite](int file, const void* data, std::uint64_t size) {
      if (++writes != failingWrite) return WriteRAWVideoData(file, data, size);
      WriteRAWVideoData(file, data, size / 2);  // half way, then the disk is full
      return false;
    });
    messages.clear();
    controller->Captures.Frames2Capture = 1000;  // ends earlier, by the failure
    controller->SaveRAWVideo();
    // A file without its whole header is removed; otherwise the torn block
    // is cut off and the file ends with the last whole block.
    EXPECT_EQ(QFile::exists(FileName(controller->Captures.RAWCounter)), failingWrite != 1);
    const RAWFile file(FileName(controller->Captures.RAWCounter));
    const std::size_t stored = failingWrite == 1 ? 0 : FramesPerBlock;
    EXPECT_EQ(file.records.size(), stored);
    EXPECT_EQ(messages, QStringList{"ERROR!: Cannot write file : " +
                                    FileName(controller->Captures.RAWCounter) + "\n" +
                                    QString::number(stored) + " frames stored."});
    EXPECT_LT(FinalCounters().first, 1000);
    EXPECT_FALSE(controller->Captures.CaptureRunning);
  }
}

// The file gets its name after its header: on a full disk the name may then
// need a block that is not there. The user is told, no file and no unnamed
// remains stay, and once there is room again the next capture works.
TEST_F(RAWCaptureTest, AFileThatCannotBeNamedOnAFullDiskIsReportedAndLeavesNothing) {
  TSmallDisk disk(folder.path());
  if (!disk.Mounted()) GTEST_SKIP() << "no small disk of its own: needs root, loop devices, mkfs";
  settings.path = disk.Root() + "/";
  QStringList filled;
  SetRAWCaptureWriter([&](int file, const void* data, std::uint64_t size) {
    const bool written = WriteRAWVideoData(file, data, size);
    if (filled.isEmpty()) {
      disk.Fill();
      filled = QDir(disk.Root()).entryList(QDir::Files);
    }
    return written;
  });
  controller->Captures.Frames2Capture = 5;
  controller->SaveRAWVideo();
  EXPECT_EQ(messages,
            QStringList{"ERROR!: Cannot write file : " + FileName(0) + "\n0 frames stored."});
  EXPECT_EQ(QDir(disk.Root()).entryList(QDir::Files), filled);
  // The unnamed file's blocks are free again: it was closed, not kept.
  EXPECT_GE(disk.FreeBytes(), RAWVideoHeaderSize);
  EXPECT_FALSE(controller->Captures.CaptureRunning);
  EXPECT_TRUE(settings.enabled);

  SetRAWCaptureWriter(nullptr);
  messages.clear();
  ASSERT_TRUE(QFile::remove(disk.Filler()));
  controller->SaveRAWVideo();
  EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
  const RAWFile file(FileName(0));
  EXPECT_EQ(file.header, Header());
  EXPECT_EQ(file.records.size(), 5u);
}

TEST_F(RAWCaptureTest, StopVideoEndsTheCaptureAndCommandsWaitUntilItHasEnded) {
  const int rendered = controller->Render.FrameCount;
  const QDeadlineTimer deadline(10000);
  bool checked = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    // Once the preview thread has rendered a frame.
    if (controller->Render.FrameCount == rendered && !deadline.hasExpired()) return;
    poll.stop();
    EXPECT_GT(controller->Render.FrameCount, rendered);
    EXPECT_TRUE(controller->Captures.CaptureRunning);
    EXPECT_FALSE(settings.enabled);
    EXPECT_EQ(mainView.panels[PanelFPS], "ESC - STOP");
    controller->SaveRAWVideo();  // refused: one capture at a time
    EXPECT_EQ(Files().size(), 1);
    controller->StopVideo();
    checked = true;
  });
  poll.start(5);
  controller->SaveRAWVideo();
  EXPECT_TRUE(checked);
  EXPECT_TRUE(settings.enabled);
  const auto [frames, drops] = FinalCounters();
  EXPECT_EQ(RAWFile(FileName(0)).records.size(), static_cast<std::size_t>(frames - drops));
}

// The capture of the test below: runs in a child process until it is killed.
TEST_F(RAWCaptureTest, DISABLED_ChildCapturesUntilKilled) {
  settings.path = qEnvironmentVariable("QDV_RAW_CHILD_FOLDER");
  if (settings.path.isEmpty()) GTEST_SKIP();
  controller->Captures.Frames2Capture = 0;
  if (qEnvironmentVariableIsSet("QDV_RAW_CHILD_BLOCKS")) {
    controller->Captures.PoolBlockCount = qEnvironmentVariableIntValue("QDV_RAW_CHILD_BLOCKS");
    controller->Captures.PoolBlockSizeMB = 16;
  }
  controller->SaveRAWVideo();
}

TEST_F(RAWCaptureTest, ACaptureKilledMidwayLeavesCompleteRecordsThatReadBack) {
#ifdef __SANITIZE_THREAD__
  GTEST_SKIP()
      << "starting a process through Qt, which is not instrumented, misleads ThreadSanitizer";
#endif
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QDV_RAW_CHILD_FOLDER", settings.path);
  child.setProcessEnvironment(environment);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_filter=RAWCaptureTest.DISABLED_ChildCapturesUntilKilled",
               "--gtest_also_run_disabled_tests"});
  ASSERT_TRUE(child.waitForStarted());
  // Killed once a few blocks are on disk.
  const QDeadlineTimer deadline(30000);
  while (QFileInfo(FileName(0)).size() < RAWVideoHeaderSize + 3 * 1048576 &&
         !deadline.hasExpired() && child.state() == QProcess::Running)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(child.state(), QProcess::Running) << child.readAllStandardOutput().toStdString();
  child.kill();  // SIGKILL
  ASSERT_TRUE(child.waitForFinished());

  const RAWFile file(FileName(0));
  EXPECT_EQ(file.header, Header());
  EXPECT_GE(file.records.size(), 3 * FramesPerBlock);
  ExpectFramesInOrder(file, 0);
}

TEST_F(RAWCaptureTest, AKillInTheFirstSecondLeavesAWholeHeaderOrNoFile) {
#ifdef __SANITIZE_THREAD__
  GTEST_SKIP()
      << "starting a process through Qt, which is not instrumented, misleads ThreadSanitizer";
#endif
  // Killed as soon as anything shows in the folder, and a little later; the
  // pool (32 blocks of 16 MB) is one whose making once took long.
  for (int delay : {0, 0, 3, 30, 300}) {
    SCOPED_TRACE(delay);
    QTemporaryDir childFolder;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QDV_RAW_CHILD_FOLDER", childFolder.path() + "/");
    environment.insert("QDV_RAW_CHILD_BLOCKS", "32");
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=RAWCaptureTest.DISABLED_ChildCapturesUntilKilled",
                 "--gtest_also_run_disabled_tests"});
    ASSERT_TRUE(child.waitForStarted());
    const QDeadlineTimer deadline(20000);
    while (QDir(childFolder.path()).isEmpty() && !deadline.hasExpired() &&
           child.state() == QProcess::Running)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    ASSERT_EQ(child.state(), QProcess::Running) << child.readAllStandardOutput().toStdString();
    child.kill();  // SIGKILL
    ASSERT_TRUE(child.waitForFinished());
    const QStringList files = QDir(childFolder.path()).entryList(QDir::Files);
    EXPECT_EQ(files, QStringList{"VIDEO_0.RAW"});
    for (const QString& name : files)
      EXPECT_EQ(RAWFile(childFolder.filePath(name)).header, Header());
  }
}

// The pages of the pool's blocks are held back on the preparing thread until
// the test lets them go (the capture's own thread gets them at once).
TEST_F(RAWCaptureTest, RecordingStartsBeforeThePoolIsReadyAndEscThenLeavesAWholeFile) {
  const std::thread::id gui = std::this_thread::get_id();
  std::atomic<bool> released{false};
  SetPagePreparer([&](void* block, std::size_t offset, std::size_t length) {
    const QDeadlineTimer deadline(10000);
    while (std::this_thread::get_id() != gui && !released && !deadline.hasExpired())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return ImagePrepare(block, offset, length) != 0;
  });
  controller->Captures.Frames2Capture = 0;
  const std::uint64_t first = camera.FrameNumber();
  bool stopped = false;
  int ticksWhileEnding = 0;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!stopped) {
      // The first block is in the file while no page has been prepared in
      // the background: then Esc.
      if (RAWFile(FileName(0)).records.size() < FramesPerBlock) return;
      EXPECT_FALSE(released);
      controller->StopVideo();
      stopped = true;
    } else if (!released) {
      // The end waits for the held pages with the window served and the
      // settings dialog still disabled.
      EXPECT_FALSE(settings.enabled);
      if (++ticksWhileEnding == 10) released = true;
    }
  });
  poll.start(5);
  controller->SaveRAWVideo();
  EXPECT_TRUE(stopped);
  EXPECT_EQ(ticksWhileEnding, 10);
  EXPECT_TRUE(settings.enabled);
  EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
  const auto [frames, drops] = FinalCounters();
  const RAWFile file(FileName(0));
  EXPECT_EQ(file.header, Header());
  EXPECT_EQ(file.records.size(), static_cast<std::size_t>(frames - drops));
  EXPECT_GE(file.records.size(), FramesPerBlock);
  EXPECT_LE(ExpectFramesInOrder(file, first), static_cast<std::uint64_t>(drops));
}

TEST_F(RAWCaptureTest, APageThatCannotBeHadEndsTheCaptureLikeAFullDisk) {
  // The third block's pages cannot be had, whichever thread asks first.
  std::mutex mutex;
  std::vector<void*> blocks;  // in the order first asked for
  SetPagePreparer([&](void* block, std::size_t offset, std::size_t length) {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      if (std::find(blocks.begin(), blocks.end(), block) == blocks.end()) blocks.push_back(block);
      if (blocks.size() >= 3 && blocks[2] == block) return false;
    }
    return ImagePrepare(block, offset, length) != 0;
  });
  controller->Captures.Frames2Capture = 1000;
  const std::uint64_t first = camera.FrameNumber();
  controller->SaveRAWVideo();
  const std::size_t stored = 2 * FramesPerBlock;
  EXPECT_EQ(messages,
            QStringList{"ERROR!: Out of memory\n" + QString::number(stored) + " frames stored."});
  const auto [frames, drops] = FinalCounters();
  EXPECT_EQ(static_cast<std::size_t>(frames - drops), stored);
  const RAWFile file(FileName(0));
  EXPECT_EQ(file.header, Header());
  EXPECT_EQ(file.records.size(), stored);
  EXPECT_LE(ExpectFramesInOrder(file, first), static_cast<std::uint64_t>(drops));
  EXPECT_FALSE(controller->Captures.CaptureRunning);
  EXPECT_TRUE(settings.enabled);
}

// A driver that passes every request on to the simulated camera, except that
// it reports median filter type 7 and frames longer than the room offered.
class OutOfRangeDriver : public platform::DeviceDriver {
 public:
  OutOfRangeDriver() : camera_(OpenCamera(0)) {}
  ~OutOfRangeDriver() override { CloseHandle(camera_); }
  DWORD IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                  DWORD& bytes) override {
    if (code == QDV_IOCTL_MEDIAN_FILTER && out != nullptr) {
      const DWORD type = 7;
      std::memcpy(out, &type, sizeof type);
      bytes = sizeof type;
      return ERROR_SUCCESS;
    }
    if (!DeviceIoControl(camera_, code, const_cast<void*>(in), inSize, out, outSize, &bytes,
                         nullptr))
      return GetLastError();
    if (code == QDV_IOCTL_GET_FRAME) bytes = outSize + 1;
    return ERROR_SUCCESS;
  }

 private:
  HANDLE camera_;
};

TEST_F(RAWCaptureTest, DriverAnswersOutOfRangeNeitherSpillIntoFlagsNorPastTheRoom) {
  platform::RegisterDevice(QDV_DEVICE_NAME, std::make_shared<OutOfRangeDriver>());
  controller->Captures.Frames2Capture = 5;
  controller->SaveRAWVideo();
  simcam::Install();
  EXPECT_EQ(mainView.panels[PanelStatus], "0(0) ...");
  // The flags keep the filter type's two bits and nothing more.
  Bytes expected = Header();
  expected[RAWHeader::HeaderFlags] |= RAWHeaderFlags::MedianFilterMask;
  const RAWFile file(FileName(0));
  EXPECT_EQ(file.header, expected);
  EXPECT_TRUE(file.records.empty());
}

}  // namespace
