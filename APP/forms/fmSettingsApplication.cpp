// The settings dialog's Application tab: the capture folder, the frame
// limit of video captures, the RAW frame pool and the still-image format.
#include "APP/forms/fmSettings.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

#include <unistd.h>

#include "common/ControlFactories.h"
#include "common/FileDialogs.h"
#include "common/Format.h"
#include "common/Messages.h"
#include "common/Parse.h"
#include "common/RadioGroup.h"

namespace {

// The frame pool: each block at least 5 MB, at least 2 and at most 1,024
// blocks.
constexpr std::int32_t MinPoolBlockSizeMB = 5;
constexpr std::int32_t MinPoolBlockCount = 2;
constexpr std::int32_t MaxPoolBlockCount = 1024;

std::uint64_t PhysicalMemoryBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

}  // namespace

void TSettingsForm::CreateApplicationTab() {
  auto* page = new QVBoxLayout(tsApplication);

  QGroupBox* directory =
      MakeGroup(tsApplication, "gbWorkingDirectory", QStringLiteral(" Working directory "));
  edPath = MakeEdit(directory, "edPath", QStringLiteral("./"), true);
  edPath->setStyleSheet(QStringLiteral("QLineEdit { background: palette(window); }"));
  btSetPath = Named(new QToolButton(directory), "btSetPath");
  btSetPath->setText(QStringLiteral("..."));
  btSetPath->setToolTip(QStringLiteral("Choose File Store Folder"));
  btGoto = Named(new QToolButton(directory), "btGoto");
  btGoto->setText(QStringLiteral(">"));
  btGoto->setToolTip(QStringLiteral("Explore File Store Folder"));
  auto* directoryRow = new QHBoxLayout(directory);
  directoryRow->addWidget(edPath);
  directoryRow->addWidget(btSetPath);
  directoryRow->addWidget(btGoto);
  page->addWidget(directory);

  QGroupBox* video = MakeGroup(tsApplication, "gbSaveVideo", QStringLiteral(" Save Video "));
  cbUnlimitedFrames = MakeCheckBox(video, "cbUnlimitedFrames",
                                   QStringLiteral("Limit video saving with ESC key"), true);
  eFrames = MakeEdit(video, "eFrames", QStringLiteral("0"), false);
  eFrames->setEnabled(false);
  btSet = MakeButton(video, "btSet", QStringLiteral("Set"));
  auto* videoGrid = new QGridLayout(video);
  videoGrid->addWidget(cbUnlimitedFrames, 0, 0, 1, 4);
  videoGrid->addWidget(MakeLabel(video, "lbFrames1", QStringLiteral("Limit video save to")), 1, 0);
  videoGrid->addWidget(eFrames, 1, 1);
  videoGrid->addWidget(MakeLabel(video, "lbFrames2", QStringLiteral("frames")), 1, 2);
  videoGrid->addWidget(btSet, 1, 3);
  page->addWidget(video);

  QGroupBox* memory = MakeGroup(tsApplication, "gbBufferPool",
                                QStringLiteral(" Memory buffers for video capture "));
  eBufferPoolSize = MakeEdit(memory, "eBufferPoolSize", QStringLiteral("16"), false);
  eBufferPoolCount = MakeEdit(memory, "eBufferPoolCount", QStringLiteral("32"), false);
  btBufferPool = MakeButton(memory, "btBufferPool", QStringLiteral("Set"));
  auto* memoryGrid = new QGridLayout(memory);
  memoryGrid->addWidget(
      MakeLabel(memory, "lbBufferPoolSize", QStringLiteral("Buffer pool size, MB:")), 0, 0);
  memoryGrid->addWidget(eBufferPoolSize, 0, 1);
  memoryGrid->addWidget(
      MakeLabel(memory, "lbBufferPoolCount", QStringLiteral("Buffer pool count:")), 1, 0);
  memoryGrid->addWidget(eBufferPoolCount, 1, 1);
  memoryGrid->addWidget(btBufferPool, 1, 2);
  page->addWidget(memory);

  rgSaveImageMode =
      Named(new TRadioGroup(QStringLiteral("Image Format"),
                            {QStringLiteral("BMP"), QStringLiteral("JPEG")}, tsApplication),
            "rgSaveImageMode");
  rgSaveImageMode->SetItemIndex(0);
  page->addWidget(rgSaveImageMode);
  page->addStretch();
}

void TSettingsForm::ConnectApplicationHandlers() {
  connect(btSetPath, &QToolButton::clicked, this, &TSettingsForm::btSetPathClick);
  connect(btGoto, &QToolButton::clicked, this, &TSettingsForm::btGotoClick);
  connect(cbUnlimitedFrames, &QCheckBox::toggled, this, &TSettingsForm::cbUnlimitedFramesClick);
  connect(btSet, &QPushButton::clicked, this, &TSettingsForm::btSetClick);
  connect(btBufferPool, &QPushButton::clicked, this, &TSettingsForm::btBufferPoolClick);
}

// --- Handlers ------------------------------------------------------------------

void TSettingsForm::btSetPathClick() {
  const QString folder =
      ChooseFolderOrNew(this, QStringLiteral("Please select working directory:"), edPath->text());
  if (folder.isEmpty()) return;
  // A typed folder that does not exist yet is made; one that cannot be
  // made keeps the previous folder, instead of failing the next capture.
  std::error_code error;
  std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
  if (error) {
    ShowErrorMessage(QStringLiteral("Cannot make the folder \"%1\". %2")
                         .arg(folder, QString::fromLocal8Bit(error.message())));
    return;
  }
  SetCaptureFolder(folder);
}

bool TSettingsForm::SetCaptureFolder(QString folder) {
  // The preset file keeps the folder on one line.
  if (folder.contains(QLatin1Char('\n')) || folder.contains(QLatin1Char('\r'))) {
    ShowErrorMessage(QStringLiteral("A folder whose name holds a line break cannot be used"));
    return false;
  }
  // Capture file names are the folder's text followed by the name.
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  edPath->setText(folder);
  return true;
}

void TSettingsForm::btGotoClick() {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QDir(edPath->text()).absolutePath()));
}

void TSettingsForm::cbUnlimitedFramesClick() {
  if (cbUnlimitedFrames->isChecked()) {
    eFrames->setText(QStringLiteral("0"));
    eFrames->setEnabled(false);
    btSetClick();
  } else {
    // The limit stays until "Set" is pressed.
    eFrames->setEnabled(true);
  }
}

void TSettingsForm::btSetClick() {
  if (!ApplyFrameLimit()) ShowErrorMessage(NotAnIntegerText(eFrames->text()));
}

bool TSettingsForm::ApplyFrameLimit() {
  std::int32_t frames = 0;
  if (!ParseInt32(eFrames->text(), frames)) return false;
  AppCommand->SetFrames2Capture(frames);
  return true;
}

void TSettingsForm::btBufferPoolClick() {
  std::int32_t size = MinPoolBlockSizeMB;
  std::int32_t count = MinPoolBlockCount;
  ParseInt32(eBufferPoolSize->text(), size);
  ParseInt32(eBufferPoolCount->text(), count);
  size = std::max(size, MinPoolBlockSizeMB);
  count = std::clamp(count, MinPoolBlockCount, MaxPoolBlockCount);
  eBufferPoolSize->setText(FormatText("%d", size));
  eBufferPoolCount->setText(FormatText("%d", count));
  // A pool larger than the machine's memory could never be filled: the
  // capture would fail only when it starts.
  const std::uint64_t bytes =
      static_cast<std::uint64_t>(size) * static_cast<std::uint64_t>(count) * (1ull << 20);
  if (bytes > PhysicalMemoryBytes()) {
    ShowErrorMessage(
        FormatText("A buffer pool of %d blocks of %d MB does not fit into memory", count, size));
    return;
  }
  AppCommand->SetBufferPool(count, size);
}
