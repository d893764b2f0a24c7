#include "APP/capture/RAWCapture.h"

#include <QFile>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "APP/capture/CaptureMessages.h"
#include "APP/capture/CaptureSteps.h"
#include "APP/control/Commands.h"
#include "common/Format.h"
#include "common/Messages.h"
#include "common/RAWVideo.h"
#include "imaging/debayer.h"
#include "platform/handle.h"
#include "platform/newfile.h"

// --- Preview thread ----------------------------------------------------------------

TRAWThread::TRAWThread(TLiveRender& render) : TThread(true), render_(render) {
  SetPriority(TThreadPriority::Idle);
}

const std::uint8_t* TRAWThread::ShowFrame(const std::uint8_t* frame, std::uint32_t bytes) {
  FrameBytes = bytes;
  return FramePtr.exchange(frame);
}

void TRAWThread::Execute() {
  while (!Terminated()) {
    if (!Synchronize([this] { RAWPreviewSync(); })) {
      // Ending, or the GUI no longer serves hand-overs (shut-down).
      if (Terminated() || GuiSynchronizationCancelled()) break;
      std::this_thread::yield();
    }
  }
}

void TRAWThread::RAWPreviewSync() {
  const std::uint8_t* frame = FramePtr.load();
  if (frame != nullptr) {
    render_.RenderFrame(StreamCode, frame, FrameBytes, static_cast<std::int32_t>(ViewPort.SizeX),
                        static_cast<std::int32_t>(ViewPort.SizeY), DEBAYER_PREVIEW);
  }
  std::this_thread::yield();
}

// --- Capture -------------------------------------------------------------------------

namespace {

TFileWriter& CaptureWriter() {
  static TFileWriter writer;
  return writer;
}

bool WriteCaptureData(int file, const void* data, std::uint64_t size) {
  return CaptureWriter() ? CaptureWriter()(file, data, size) : WriteRAWVideoData(file, data, size);
}

// One RAW capture from the open device to its file: the steps of
// SaveRAWVideo, each a member, with what the capture owns.
class TRAWCapture {
 public:
  TRAWCapture(TAppCommand& app, TLiveRender& render)
      : app_(app), render_(render), device_(OpenCamera(0)) {}

  void Run() {
    if (!Prepare()) return;
    Start();
    if (WriteHeader() && NameFile()) Loop();
    Finish();
  }

 private:
  // Steps 1 to 5: device, preview thread, region and stream, file, pool.
  // Every failure is reported and leaves nothing behind.
  bool Prepare() {
    preview_ = std::make_unique<TRAWThread>(render_);
    if (!ReadCaptureStream(device_, preview_->ViewPort, preview_->StreamCode)) return false;
    if (preview_->StreamCode == QDV_STREAM_OFF) {
      ShowCaptureError(QStringLiteral("Cannot save video"));
      return false;
    }
    return CreateFile() && CreatePool();
  }

  // The file is made without a name in the capture folder and gets its name
  // (NameFile) once its whole header is in it: a capture killed before that
  // leaves no file, never one that looks like a recording and is not. Where
  // the file system makes no unnamed files, it is created under its name.
  bool CreateFile() {
    ChooseFileName();
    const QByteArray name = QFile::encodeName(fileName_);
    const std::string path(name.constData());
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    file_.reset(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (!file_ && (errno == EOPNOTSUPP || errno == EISDIR)) {
      file_ = platform::CreateNewFile(name.constData());
      named_ = static_cast<bool>(file_);
    }
    if (!file_) {
      ShowCaptureError(QStringLiteral("Cannot open file : ") + fileName_);
      return false;
    }
    return true;
  }

  void ChooseFileName() {
    const QString folder =
        app_.SettingsView != nullptr ? app_.SettingsView->CapturePath() : QString();
    fileName_ = app_.NextCaptureFileName(folder + QStringLiteral("VIDEO_"), QStringLiteral(".RAW"),
                                         app_.Captures.RAWCounter);
  }

  // The file with its whole header gets its name; a name taken meanwhile
  // moves on to the next free one. False (reported as a failed write) when
  // the file cannot be named.
  bool NameFile() {
    const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
    for (int attempt = 0; !named_ && attempt < 100; ++attempt) {
      named_ = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, QFile::encodeName(fileName_).constData(),
                        AT_SYMLINK_FOLLOW) == 0;
      if (!named_ && errno != EEXIST) break;
      if (!named_) ChooseFileName();
    }
    headerWritten_ = named_;
    writeFailed_ = !named_;
    return named_;
  }

  bool CreatePool() {
    const std::uint64_t blockBytes =
        static_cast<std::uint64_t>(std::max(app_.Captures.PoolBlockSizeMB, 0)) * 1048576;
    pool_ = std::make_unique<TFramePool>(file_.get(), app_.Captures.PoolBlockCount, blockBytes,
                                         WriteCaptureData);
    if (pool_->IsValid()) return true;
    pool_.reset();
    RemoveFile();
    ShowCaptureError(QStringLiteral("Out of memory"));
    return false;
  }

  // Step 6: live video pauses, the settings dialog is disabled. The preview
  // thread begins, still paused.
  void Start() {
    exitAction_.emplace([this] { CompleteFileAtExit(); });
    preview_->ShowFrame(nullptr, 0);
    preview_->Start();
    pause_.emplace(app_);
  }

  // Step 7: the header, written directly with one write.
  bool WriteHeader() {
    std::vector<std::uint8_t> header(RAWVideoHeaderSize);
    CameraDevice->FillRAWHeader(header.data());
    const bool written = WriteCaptureData(file_.get(), header.data(), header.size());
    writeFailed_ = !written;
    return written;
  }

  // Steps 8 and 9: one frame read per pass until Esc, Stop Video, the frame
  // limit or a failed block write.
  void Loop() {
    const ViewPortRecord& viewPort = preview_->ViewPort;
    // Every frame is read into room of this size: the driver is never
    // offered less, and never more than the buffer holds.
    const std::uint64_t bound =
        (std::uint64_t{viewPort.Height} + 4) * std::uint64_t{viewPort.Width} * 2;
    const auto reservation = static_cast<std::uint32_t>(std::min<std::uint64_t>(bound, UINT32_MAX));
    const auto spareBound = std::min(reservation, FrameBufferSize);
    preview_->Resume();
    RunCaptureLoop(app_, [&] {
      if (pool_->WriteFailed()) return false;
      std::uint8_t* frame = pool_->Reserve(reservation);
      // The pages for the frame cannot be had: the capture ends as on a
      // full disk, with every frame before it kept.
      if (pool_->MemoryFailed()) return false;
      std::uint32_t room = reservation;
      if (frame == nullptr) {
        // No free block: the frame is read and previewed, but not stored.
        ++drops_;
        frame = render_.FrameBuffer;
        room = spareBound;
      }
      DWORD bytes = 0;
      if (::GetFrame(device_.get(), frame, room, &bytes) && bytes <= room) {
        ++frames_;
        if (frame != render_.FrameBuffer) {
          const bool stored = pool_->Commit(bytes);
          assert(stored);
          (void)stored;
        }
        preview_->ShowFrame(frame, bytes);
        SetCapturePanel(app_, PanelStatus, Counters(""));
      }
      return true;
    });
  }

  // Steps 10 to 13: final counters, the preview thread ended, the pool
  // flushed and freed, live video and the settings dialog back, the file
  // and the device closed.
  void Finish() {
    SetCapturePanel(app_, PanelStatus, Counters(" ..."));
    if (app_.MainView != nullptr) app_.MainView->RepaintStatusBar();
    StopPreview();
    const bool memoryFailed = pool_ != nullptr && pool_->MemoryFailed();
    const std::uint64_t stored = EndPool();
    pause_.reset();
    CloseFile();
    if (writeFailed_) {
      ShowCaptureWriteError(fileName_, stored);
    } else if (memoryFailed) {
      ShowCaptureMemoryError(stored);
    }
  }

  // The pool writes what it holds and is freed on a thread of its own, while
  // the window goes on answering (live video stays paused and the settings
  // dialog disabled until the file is closed). Returns the records stored.
  std::uint64_t EndPool() {
    if (pool_ == nullptr) return 0;
    std::uint64_t stored = 0;
    bool writeFailed = false;
    poolEnding_.store(true);
    RunServingEvents([&] {
      pool_->Flush();
      writeFailed = pool_->WriteFailed();
      stored = pool_->StoredRecords();
      pool_.reset();
      poolEnding_.store(false);
    });
    writeFailed_ = writeFailed_ || writeFailed;
    return stored;
  }

  // Closes the file. Without its whole header it holds nothing a reader
  // could use and is removed; a file with a header keeps every whole record
  // it got.
  void CloseFile() {
    if (!headerWritten_) RemoveFile();
    file_.reset();
  }

  // Closes the file and removes it (a file without a name goes by itself).
  void RemoveFile() {
    file_.reset();
    if (named_) ::unlink(QFile::encodeName(fileName_).constData());
    named_ = false;
  }

  // The process ends through exit() from inside the capture (the display
  // was lost): the stack never unwinds, so the records stored so far are
  // written here and the file is closed. The worker threads have ended.
  void CompleteFileAtExit() {
    // The pool may be ending on its own thread already.
    while (poolEnding_.load()) std::this_thread::yield();
    pool_.reset();  // flushes every block that holds records
    CloseFile();
  }

  // Takes the frame back, so that a preview step still pending renders
  // nothing, then ends the thread while serving its pending step (user input
  // waits: no command runs in between). Only then may the pool be freed.
  void StopPreview() {
    preview_->ShowFrame(nullptr, 0);
    preview_->Terminate();
    ServeEventsUntil([this] { return preview_->Finished(); }, QEventLoop::ExcludeUserInputEvents);
    preview_->WaitFor();
  }

  QString Counters(const char* suffix) const {
    return FormatText("%lld(%lld)%s", frames_, drops_, suffix);
  }

  TAppCommand& app_;
  // The buffers a frame the pool has no room for is read into, and the
  // preview's render.
  TLiveRender& render_;
  platform::UniqueHandle device_;  // the driver device, open for the whole capture
  std::unique_ptr<TRAWThread> preview_;
  QString fileName_;
  platform::UniqueFd file_;
  std::unique_ptr<TFramePool> pool_;
  long long frames_ = 0;
  long long drops_ = 0;
  bool named_ = false;  // the file has its name in the folder
  bool headerWritten_ = false;
  bool writeFailed_ = false;
  std::optional<TCapturePause> pause_;     // live video paused from Start to Finish
  std::optional<TExitAction> exitAction_;  // from the start of the capture to its end
  std::atomic<bool> poolEnding_{false};    // the pool ends on a thread of its own
};

}  // namespace

TFileWriter SetRAWCaptureWriter(TFileWriter writer) {
  TFileWriter previous = std::move(CaptureWriter());
  CaptureWriter() = std::move(writer);
  return previous;
}

void TAppCommand::SaveRAWVideo() {
  // Refused while any capture runs.
  const TCaptureClaim claim(*this);
  if (claim) TRAWCapture(*this, Render).Run();
}
