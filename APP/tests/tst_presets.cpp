// Preset files on the simulated camera: what is written, byte for byte;
// what a load leaves in the camera, the controller and the settings dialog;
// files that stop the load; the menu commands and their messages.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "APP/fmSettings.h"
#include "APP/tests/test_settings_setup.h"
#include "QDV47B5API.h"
#include "common/FileDialogs.h"
#include "common/Format.h"
#include "common/Messages.h"
#include "common/RadioGroup.h"

namespace {

// clang-format off
const QStringList EntryNames = {
    "Capture File Path", "Gain",    "Exposure", "ExpMin",  "ExpMax",        "ExpMs",
    "Width",             "Height",  "StartX",   "StartY",  "SizeX",         "SizeY",
    "DecBinX",           "DecBinY", "OffsetX",  "OffsetY", "res1",          "res2",
    "res3",              "res4",    "res5",     "res6",    "Frequency",     "outMode",
    "IPDelay",           "BayerAlgIndex",       "SaveImageMode",            "ZoomValue",
    "Gamma",             "SDRAM",   "FrameRate", "UseEscKey", "Frames2Capture", "WinState",
    "WinIconic"};
// clang-format on

QByteArray ReadAll(const QString& name) {
  QFile file(name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& name, const QByteArray& bytes) {
  QFile file(name);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

QByteArray Saved() {
  QFile::remove(QStringLiteral("saved.pre"));
  if (SavePresetFile(MainForm, QStringLiteral("saved.pre")) != TPresetSave::Stored) return {};
  return ReadAll(QStringLiteral("saved.pre"));
}

QString Entry(const QByteArray& file, const QString& name) {
  for (const QByteArray& line : file.split('\n'))
    if (line.startsWith(name.toLatin1() + '='))
      return QString::fromLatin1(line.mid(name.size() + 1)).trimmed();
  return {};
}

// The file with one entry's value replaced, or the entry left out.
QByteArray WithEntry(const QByteArray& file, const char* name, const char* value) {
  QByteArray result;
  for (const QByteArray& line : file.split('\n')) {
    if (line.isEmpty()) continue;
    if (line.startsWith(QByteArray(name) + '='))
      result += value != nullptr ? QByteArray(name) + '=' + value + "\r\n" : QByteArray();
    else
      result += line + '\n';
  }
  return result;
}

// Settings files that are no file to read: each is put where the program
// looks for one.
struct Unreadable {
  const char* kind;
  std::function<bool(const QString& path)> make;
  const char* why;  // the reason the error box gives
  bool saveOnto;    // a save onto it is tried (never onto a device of the system)
};
const Unreadable UnreadableFiles[] = {
    {"FIFO without a writer",
     [](const QString& path) { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; },
     "Not a regular file", true},
    {"link to /dev/zero",
     [](const QString& path) { return QFile::link(QStringLiteral("/dev/zero"), path); },
     "Not a regular file", false},
    // Sparse: 300 MB that take no disk and must take no memory either.
    {"300 MB file",
     [](const QString& path) {
       QFile file(path);
       return file.open(QIODevice::WriteOnly) && file.resize(300 * 1000 * 1000);
     },
     "The file is larger than 65536 bytes", false}};

// Ends the test program if a step never returns: a hang shows as a failure.
struct Watchdog {
  Watchdog() { ::alarm(60); }
  ~Watchdog() { ::alarm(0); }
};

// The process's own file-size limit at `bytes`, as a full disk would stop
// a write; restored afterwards. SIGXFSZ is ignored so that the write fails
// with an error instead of ending the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &savedAction_);
    rlimit small = saved_;
    small.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::sigaction(SIGXFSZ, &savedAction_, nullptr);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  struct sigaction savedAction_ {};
};

// A settings dialog of its own, created as at start-up; the shared dialog
// and the controller's INI file are restored on every way out.
struct StartUpDialog {
  TSettingsForm form;
  TSettingsForm* shared = SettingsForm;
  std::unique_ptr<TIniFile> sharedIni;  // set once the controller reads another file
  StartUpDialog() {
    SettingsForm = &form;
    form.FormCreate();
  }
  ~StartUpDialog() {
    SettingsForm = shared;
    AppCommand->SettingsView = shared;
    if (sharedIni) AppCommand->IniFile = std::move(sharedIni);
  }
  // The controller reads its register sets from path until the dialog goes.
  void UseIni(const QString& path) {
    std::unique_ptr<TIniFile> previous = std::make_unique<TIniFile>(path);
    AppCommand->IniFile.swap(previous);
    if (!sharedIni) sharedIni = std::move(previous);
  }
};

TPresetLoad Load(const QByteArray& bytes) {
  WriteAll(QStringLiteral("load.pre"), bytes);
  return LoadPresetFile(MainForm, QStringLiteral("load.pre"));
}

}  // namespace

class TestPresets : public QObject {
  Q_OBJECT

  SettingsApplication application_;
  simcam::SimCamera* camera_ = nullptr;
  QStringList& messages_ = application_.Messages;

  // A state away from the power-on defaults, set as a user would.
  void SetUpState() {
    TSettingsForm* f = SettingsForm;
    f->tbGain->setValue(250);
    f->cbOutputMode->setCurrentIndex(1);
    emit f->cbOutputMode->activated(1);
    f->tbInterPacketDelay->setValue(300);
    f->rgDebayer->SetItemIndex(5);
    f->rgSaveImageMode->SetItemIndex(1);
    AppCommand->SetZoomPercent(300);
    f->cbGammaCorrection->setChecked(true);
    f->cbUnlimitedFrames->setChecked(false);
    f->eFrames->setText(QStringLiteral("12 frames"));
    AppCommand->SetFrameRate(20);
  }

  // Everything back to the design state.
  void ResetState() {
    TSettingsForm* f = SettingsForm;
    f->tbGain->setValue(0);
    f->cbOutputMode->setCurrentIndex(0);
    f->tbInterPacketDelay->setValue(0);
    f->rgDebayer->SetItemIndex(0);
    f->rgSaveImageMode->SetItemIndex(0);
    AppCommand->SetZoomPercent(100);
    f->cbGammaCorrection->setChecked(false);
    f->cbUnlimitedFrames->setChecked(true);
    f->cbSDRAM->setChecked(false);
  }

 private slots:
  void initTestCase() { camera_ = &application_.Start(); }

  void init() {
    messages_.clear();
    ResetState();
  }

  void saveThenLoadRoundTripsByteForByte() {
    SetUpState();
    const QByteArray first = Saved();
    QVERIFY(first.endsWith("\r\n"));
    const QList<QByteArray> lines = first.chopped(1).split('\n');
    QStringList names;
    for (const QByteArray& line : lines) {
      QVERIFY(line.endsWith('\r'));
      names << QString::fromLatin1(line.left(line.indexOf('=')));
    }
    QCOMPARE(names, EntryNames);
    const DirectDriver driver;
    QCOMPARE(Entry(first, "outMode") + Entry(first, "ZoomValue") + Entry(first, "Gamma") +
                 Entry(first, "UseEscKey") + Entry(first, "Frames2Capture") + Entry(first, "Gain"),
             QStringLiteral("131012 frames250"));
    QCOMPARE(Entry(first, "FrameRate"), FormatFloat("%.15g", driver.Rate()));

    // Names in any case, lines ended by LF alone.
    ResetState();
    QCOMPARE(Load(first.toUpper().replace("\r\n", "\n").replace("12 FRAMES", "12 frames")),
             TPresetLoad::Loaded);
    QCOMPARE(SettingsForm->rgDebayer->ItemIndex(), 5);
    QCOMPARE(AppCommand->OutMode, 2);
    QCOMPARE(Saved(), first);
    ResetState();
    QCOMPARE(Load(first), TPresetLoad::Loaded);
    QCOMPARE(Saved(), first);
    QVERIFY(messages_.isEmpty());
  }

  void loadLeavesTheCameraInTheFilesState() {
    const DirectDriver driver;
    ViewPortRecord region{};
    GetViewPort(driver.handle, &region);
    region.SizeX = 640;
    region.SizeY = 480;
    region.StartX = 64;
    UpdateViewPort(driver.handle, &region);
    const QByteArray base = Saved();
    ResetState();
    ViewPortRecord full{};
    full.SizeX = 1920;
    full.SizeY = 1080;
    UpdateViewPort(driver.handle, &full);
    QByteArray file = WithEntry(base, "Frequency", "3");
    file = WithEntry(file, "Gain", "-500");
    file = WithEntry(file, "IPDelay", "1000");
    file = WithEntry(file, "Gamma", "1");
    file = WithEntry(file, "SDRAM", "1");
    file = WithEntry(file, "FrameRate", "20");
    QCOMPARE(Load(file), TPresetLoad::Loaded);

    QCOMPARE(driver.Read(GetFrequency), DWORD{3});
    QCOMPARE(SettingsForm->cbFrequency->currentIndex(), 3);
    double db = 0;
    GetGain(driver.handle, &db);
    QVERIFY(std::abs(db - 3.0) < 1e-9);
    QCOMPARE(SettingsForm->tbGain->value(), -500);
    QCOMPARE(driver.Read(GetInterPacketGapDelay), DWORD{1000});
    QCOMPARE(driver.Read(GetSDRAMStatus), DWORD{1});
    QVERIFY(SettingsForm->cbSDRAM->isChecked());
    std::uint16_t gamma = 0x7000;
    GetSensorReg(driver.handle, &gamma);
    QVERIFY(gamma & 0x80);
    ViewPortRecord loaded{};
    GetViewPort(driver.handle, &loaded);
    QVERIFY(loaded.SizeX == region.SizeX && loaded.SizeY == region.SizeY &&
            loaded.StartX == region.StartX);
    DWORD exposure = 0;
    GetExposure(driver.handle, &exposure);
    QCOMPARE(QString::number(exposure), Entry(base, "Exposure"));
    // The refresh after the exposure replaced the "50.0" placeholder with
    // the rate before the high-speed mode went on, which halves it.
    QCOMPARE(SettingsForm->edFrameRate->text(), FormatFloat("%.3f", driver.Rate() * 2));

    // With the high-speed mode on the file holds twice the reported rate.
    QCOMPARE(Entry(Saved(), "FrameRate"), FormatFloat("%.15g", driver.Rate() * 2));
    UpdateViewPort(driver.handle, &full);
  }

  void entriesThatDoNotParseSkipTheirStep() {
    const DirectDriver driver;
    const QByteArray base = Saved();
    const DWORD sizeX = driver.Read([](DeviceHandle h, DWORD* v) {
      ViewPortRecord r{};
      const BOOL ok = GetViewPort(h, &r);
      *v = r.SizeX;
      return ok;
    });
    // One field that is no number keeps the whole region from the camera.
    QByteArray file = WithEntry(base, "SizeX", "800");
    file = WithEntry(file, "StartY", "x");
    // Zoom codes outside -4 ... 5 give 100 %.
    for (const char* zoom : {"7", "-5"}) {
      AppCommand->SetZoomPercent(50);
      QCOMPARE(Load(WithEntry(file, "ZoomValue", zoom)), TPresetLoad::Loaded);
      QCOMPARE(AppCommand->Zoom, 1);
    }
    ViewPortRecord region{};
    GetViewPort(driver.handle, &region);
    QCOMPARE(region.SizeX, sizeX);
    // Unsigned fields take the whole 32-bit range; a gain that is no number
    // leaves the gain alone.
    SettingsForm->tbGain->setValue(100);
    QCOMPARE(Load(WithEntry(WithEntry(base, "res6", "4294967295"), "Gain", "4294967295")),
             TPresetLoad::Loaded);
    QCOMPARE(SettingsForm->tbGain->value(), 100);
    // A gain beyond the track bar reaches the camera as the track bar's end.
    const DirectDriver gainDriver;
    const int lowest = SettingsForm->tbGain->minimum();
    SettingsForm->tbGain->setValue(lowest);
    double atEnd = 0;
    GetGain(gainDriver.handle, &atEnd);
    for (const char* gain : {"-5000", "-2147483648"}) {
      QCOMPARE(Load(WithEntry(base, "Gain", gain)), TPresetLoad::Loaded);
      double db = 1e9;
      GetGain(gainDriver.handle, &db);
      QCOMPARE(db, atEnd);
      QCOMPARE(SettingsForm->tbGain->value(), lowest);
    }
    QVERIFY(messages_.isEmpty());
  }

  // The file keeps the frame limit the captures use: a number typed but not
  // applied with "Set" does not reach the next run; a text that is no number
  // is kept and leaves the limit alone when loaded.
  void theSavedFrameLimitIsTheOneCapturesUse() {
    const struct {
      const char* field;
      bool set;
      const char* saved;
      std::int32_t loaded;
    } cases[] = {
        {"25", true, "25", 25}, {"40", false, "25", 25}, {"12 frames", false, "12 frames", 7}};
    SettingsForm->cbUnlimitedFrames->setChecked(false);
    for (const auto& c : cases) {
      SettingsForm->eFrames->setText(QLatin1String(c.field));
      if (c.set) SettingsForm->btSet->click();
      const QByteArray file = Saved();
      QCOMPARE(Entry(file, "Frames2Capture"), QLatin1String(c.saved));
      const std::int32_t inUse = AppCommand->Frames2Capture;
      AppCommand->SetFrames2Capture(7);
      QCOMPARE(Load(file), TPresetLoad::Loaded);
      QCOMPARE(AppCommand->Frames2Capture, c.loaded);
      QCOMPARE(SettingsForm->eFrames->text(), QLatin1String(c.saved));
      AppCommand->SetFrames2Capture(inUse);
    }
    QVERIFY(messages_.isEmpty());
  }

  void aMissingFrameRateStopsTheLoadAfterTheGamma() {
    SetUpState();
    const QByteArray base = Saved();
    ResetState();
    SettingsForm->cbSDRAM->setChecked(true);
    const DirectDriver driver;
    QCOMPARE(driver.Read(GetSDRAMStatus), DWORD{1});
    QCOMPARE(Load(WithEntry(base, "FrameRate", nullptr)), TPresetLoad::Stopped);
    QCOMPARE(messages_, QStringList{"'' is not a valid floating point value"});
    QCOMPARE(AppCommand->Zoom, 3);                          // before: applied
    QVERIFY(SettingsForm->cbGammaCorrection->isChecked());  // the last one applied
    QCOMPARE(driver.Read(GetSDRAMStatus), DWORD{0});
    QCOMPARE(SettingsForm->tbInterPacketDelay->value(), 0);  // after: not applied
    QCOMPARE(SettingsForm->rgDebayer->ItemIndex(), 0);
    QCOMPARE(Load(WithEntry(base, "ExpMs", "1,5")), TPresetLoad::Stopped);
    QCOMPARE(messages_.last(), QStringLiteral("'1,5' is not a valid floating point value"));
  }

  void loadingIsRefusedWhileACaptureRuns() {
    SetUpState();
    const QByteArray base = Saved();
    ResetState();
    AppCommand->CaptureRunning = true;
    const TPresetLoad result = Load(base);
    AppCommand->CaptureRunning = false;
    QCOMPARE(result, TPresetLoad::Refused);
    QCOMPARE(AppCommand->Zoom, 1);
    QCOMPARE(SettingsForm->tbGain->value(), 0);
  }

  // Files no program wrote: each loads or stops with one short message, and
  // the camera is left answering with a region and a rate it can run.
  void hostileFilesGiveShortMessagesAndLeaveTheCameraDefined() {
    SetUpState();
    const QByteArray base = Saved();
    const QByteArray tenMB(10 * 1024 * 1024, '9');
    const QByteArray longLine(32 * 1024, '9');
    const QByteArray binary("\x00\x01\xff\xfe\x7f=\x80\x00", 8);
    struct Case {
      const char* name;
      QByteArray file;
      TPresetLoad result;
    };
    const Case cases[] = {
        {"huge rate", WithEntry(base, "FrameRate", "1e308"), TPresetLoad::Loaded},
        {"negative rate", WithEntry(base, "FrameRate", "-1e308"), TPresetLoad::Loaded},
        {"huge exposure", WithEntry(base, "ExpMs", "1e308"), TPresetLoad::Loaded},
        {"huge integers",
         WithEntry(
             WithEntry(WithEntry(base, "SizeX", "99999999999999999999"), "ZoomValue", "2147483647"),
             "Gain", "-2147483648"),
         TPresetLoad::Loaded},
        {"huge region", WithEntry(WithEntry(base, "SizeX", "4294967295"), "StartX", "4294967295"),
         TPresetLoad::Loaded},
        {"missing keys", "Gain=1\r\n", TPresetLoad::Stopped},
        {"binary lines", binary + "\n" + base + binary, TPresetLoad::Loaded},
        {"binary rate", WithEntry(base, "FrameRate", binary.constData() + 5), TPresetLoad::Stopped},
        {"32 KiB junk line", longLine + "\n" + base, TPresetLoad::Loaded},
        {"32 KiB rate", WithEntry(base, "FrameRate", longLine.constData()), TPresetLoad::Stopped},
        {"10 MB junk line", tenMB + "\n" + base, TPresetLoad::Stopped},  // refused unread
    };
    for (const Case& c : cases) {
      messages_.clear();
      QCOMPARE((std::pair{c.name, Load(c.file)}), (std::pair{c.name, c.result}));
      QVERIFY2(messages_.size() == (c.result == TPresetLoad::Stopped ? 1 : 0), c.name);
      for (const QString& message : messages_) QVERIFY2(message.size() < 200, c.name);
      const DirectDriver driver;
      const double fps = driver.Rate();
      QVERIFY2(std::isfinite(fps) && fps > 0, c.name);
      ViewPortRecord region{};
      QVERIFY2(GetViewPort(driver.handle, &region), c.name);
      QVERIFY2(region.SizeX > 0 && region.StartX + region.SizeX <= region.Width, c.name);
      QVERIFY2(region.SizeY > 0 && region.StartY + region.SizeY <= region.Height, c.name);
      QVERIFY2(AppCommand->Zoom >= -4 && AppCommand->Zoom <= 5, c.name);
    }
  }

  void aCameraThatDoesNotAnswerLeavesTheFileAlone() {
    WriteAll(QStringLiteral("kept.pre"), "Gain=1\r\n");
    camera_->SetAbsent(true);
    const TPresetSave result = SavePresetFile(MainForm, QStringLiteral("kept.pre"));
    camera_->SetAbsent(false);
    QCOMPARE(result, TPresetSave::CameraNotAnswering);
    QCOMPARE(ReadAll(QStringLiteral("kept.pre")), QByteArray("Gain=1\r\n"));
    QCOMPARE(SavePresetFile(MainForm, QStringLiteral("no/such/folder/x.pre")),
             TPresetSave::WriteFailed);
    QCOMPARE(QDir().entryList({"*.pre"}, QDir::Files).size(),
             QDir().entryList({"*.pre", "*"}, QDir::Files).size());  // no temporary left
  }

  // A disk that fills up under the save: the failure is reported and the
  // old preset stays byte for byte, from the menu and at closing alike.
  void fullDiskKeepsTheOldPreset() {
    const QByteArray old = "Gain=7\r\nFrameRate=12.5\r\n";
    const QString path = QDir::current().absoluteFilePath(QStringLiteral("full.pre"));
    WriteAll(path, old);
    WriteAll(QStringLiteral("qdv47b5.pre"), old);
    const ScopedFileDialogRunner runner([&](QFileDialog& d) {
      d.selectFile(path);
      return true;
    });
    {
      const FileSizeLimit full(64);  // far less than a preset
      MainForm->SavePreset1->trigger();
      QCOMPARE(SavePresetFile(MainForm, QStringLiteral("qdv47b5.pre")), TPresetSave::WriteFailed);
    }
    QCOMPARE(messages_,
             QStringList{"Profile : " + path + " not stored: the file could not be written"});
    QCOMPARE(ReadAll(path), old);
    QCOMPARE(ReadAll(QStringLiteral("qdv47b5.pre")), old);
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden).size(),
             QDir().entryList({"*.pre"}, QDir::Files | QDir::Hidden).size());  // no temporary left
    QFile::remove(QStringLiteral("qdv47b5.pre"));
  }

  // A FIFO, a device or a huge file as the start-up preset or as the file of
  // register sets: the start-up goes on with the error box, and the register
  // sets read as none; nothing blocks and nothing is read into memory. The
  // closing save does not put a plain file in place of a FIFO.
  void unreadableSettingsFilesAreRefused() {
    const Watchdog watchdog;
    const QString preset = QStringLiteral("qdv47b5.pre");
    const QString ini = QDir::current().absoluteFilePath(QStringLiteral("QDV47B5.INI"));
    for (const Unreadable& file : UnreadableFiles) {
      QVERIFY2(file.make(preset) && file.make(ini), file.kind);
      messages_.clear();
      {
        StartUpDialog started;
        QCOMPARE(messages_, QStringList{QStringLiteral("Cannot open file \"qdv47b5.pre\". ") +
                                        QLatin1String(file.why)});
        started.UseIni(ini);
        started.form.ReadCameraSettings();
        QCOMPARE(started.form.cbPresets->count(), 1);
        QCOMPARE(started.form.cbPresets->itemText(0), QStringLiteral("[None]"));
      }
      if (file.saveOnto) {
        QCOMPARE(SavePresetFile(MainForm, preset), TPresetSave::WriteFailed);
        struct stat node {};
        QVERIFY(::stat(QFile::encodeName(preset).constData(), &node) == 0 &&
                S_ISFIFO(node.st_mode));
      }
      QVERIFY(QFile::remove(preset) && QFile::remove(ini));
    }
  }

  // Every file dialog of the program is Qt's own and read-only: Qt's dialog
  // would otherwise delete the selected file or folder tree on Delete.
  void everyFileDialogIsReadOnly() {
    QStringList dialogs;  // read-only and Qt's own, for each dialog shown
    const ScopedFileDialogRunner runner([&](QFileDialog& d) {
      dialogs << QString::number(d.testOption(QFileDialog::ReadOnly)) +
                     QString::number(d.testOption(QFileDialog::DontUseNativeDialog));
      return false;
    });
    MainForm->LoadPreset1->trigger();
    MainForm->SavePreset1->trigger();
    SettingsForm->btSetPathClick();
    QCOMPARE(dialogs, (QStringList{"11", "11", "11"}));
  }

  void startUpLoadLeavesThePlaceholderFrameRate() {
    WriteAll(QStringLiteral("qdv47b5.pre"), Saved());
    TSettingsForm* shared = SettingsForm;
    TSettingsForm form;
    SettingsForm = &form;
    form.FormCreate();
    SettingsForm = shared;
    AppCommand->SettingsView = shared;
    QFile::remove(QStringLiteral("qdv47b5.pre"));
    QCOMPARE(form.edFrameRate->text(), QStringLiteral("50.0"));
    QVERIFY(!form.Updating);
    QVERIFY(messages_.isEmpty());
  }

  void menuCommandsAndTheirMessages() {
    QStringList dialogs;
    QString answer;  // empty: cancel
    const ScopedFileDialogRunner runner([&](QFileDialog& d) {
      dialogs << d.windowTitle() + '|' + d.nameFilters().join(';') + '|' + d.defaultSuffix() + '|' +
                     QString::number(d.fileMode()) + '|' +
                     QString::number(d.testOption(QFileDialog::DontConfirmOverwrite));
      if (d.directory().absolutePath() != QDir::currentPath()) return false;
      if (answer.isEmpty()) return false;
      d.selectFile(answer);
      return true;
    });
    MainForm->SavePreset1->trigger();
    MainForm->LoadPreset1->trigger();
    const QString path = QDir::current().absoluteFilePath(QStringLiteral("menu.pre"));
    answer = path;
    MainForm->SavePreset1->trigger();
    MainForm->LoadPreset1->trigger();
    camera_->SetAbsent(true);
    MainForm->SavePreset1->trigger();
    camera_->SetAbsent(false);
    QCOMPARE(dialogs.first(),
             QStringLiteral("Select a name for new profile|Preset files (*.pre)|pre|0|1"));
    QCOMPARE(dialogs.at(1).section('|', 1, 3), QStringLiteral("Preset files (*.pre)|pre|1"));
    QCOMPARE(messages_,
             (QStringList{"Save file was cancelled", "Open file was cancelled",
                          "Profile : " + path + "  Stored OK", "File : " + path + " Loaded OK",
                          "Profile : " + path + " not stored: the camera does not answer"}));
  }

  // Last: closing the program keeps the settings in "qdv47b5.pre".
  void closingSavesTheLastPreset() {
    SetUpState();
    const QByteArray expected = Saved();
    MainForm->close();
    QCOMPARE(ReadAll(QStringLiteral("qdv47b5.pre")), expected);
  }

  void cleanupTestCase() {
    delete SettingsForm;
    SettingsForm = nullptr;
    TThread::ShutDownAll();
  }
};

QTEST_MAIN(TestPresets)
#include "tst_presets.moc"
