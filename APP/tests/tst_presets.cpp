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

#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "APP/forms/fmSettings.h"
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

// What a step writes to standard error, through a pipe (which no file-size
// limit bounds).
QByteArray StandardErrorOf(const std::function<void()>& step) {
  int ends[2];
  if (::pipe(ends) != 0) return "no pipe";
  std::fflush(stderr);
  const int saved = ::dup(2);
  ::dup2(ends[1], 2);
  ::close(ends[1]);
  step();
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  QByteArray text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  ::close(ends[0]);
  return text;
}

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

  // Numbers of their kind outside what the program uses: zoom codes outside
  // -4 ... 5 give 100 %, a gain beyond the track bar reaches the camera as
  // the track bar's end, unsigned fields take the whole 32-bit range.
  void outOfRangeNumbersAreBounded() {
    const QByteArray base = Saved();
    for (const char* zoom : {"7", "-5"}) {
      AppCommand->SetZoomPercent(50);
      QCOMPARE(Load(WithEntry(base, "ZoomValue", zoom)), TPresetLoad::Loaded);
      QCOMPARE(AppCommand->Render.Zoom, 1);
    }
    QCOMPARE(Load(WithEntry(base, "res6", "4294967295")), TPresetLoad::Loaded);
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

  // A preset with one entry wrong, for every entry the load reads: the
  // conversion error of that entry, and nothing applied: no control, no
  // sensor register, no setting of the controller, no capture folder.
  void aPresetWithOneWrongEntryChangesNothing() {
    SetUpState();
    const QByteArray base = Saved();
    ResetState();
    SettingsForm->edPath->setText(QStringLiteral("/kept/"));
    SettingsForm->cbSDRAM->setChecked(true);
    const TPresetValues before = SettingsForm->CollectPreset();
    const std::int32_t zoom = AppCommand->Render.Zoom, limit = AppCommand->Captures.Frames2Capture;
    const QStringList reals = {"FrameRate", "ExpMs"};
    QStringList wrong = EntryNames;
    wrong.removeAll("Capture File Path");  // texts: any value will do
    wrong.removeAll("Frames2Capture");
    struct Case {
      QString name;
      const char* value;  // nullptr: the entry left out
    };
    QList<Case> cases;
    for (const QString& name : wrong) cases.append({name, "12x"});
    cases.append({QStringLiteral("FrameRate"), nullptr});
    cases.append({QStringLiteral("SizeX"), "99999999999999999999"});
    cases.append({QStringLiteral("Gain"), "4294967295"});
    for (const Case& c : cases) {
      messages_.clear();
      camera_->ResetRequestCounts();
      const QByteArray name = c.name.toLatin1();
      QCOMPARE((std::pair{c.name, Load(WithEntry(base, name.constData(), c.value))}),
               (std::pair{c.name, TPresetLoad::Stopped}));
      const QString shown = c.value == nullptr ? QString() : QLatin1String(c.value);
      const QString expected = reals.contains(c.name)
                                   ? "'" + shown + "' is not a valid floating point value"
                                   : "'" + shown + "' is not a valid integer value";
      QCOMPARE(messages_, QStringList{expected});
      QVERIFY2(camera_->SensorRegisterWrites().empty(), name.constData());
      QVERIFY2(SettingsForm->CollectPreset() == before, name.constData());
      QVERIFY2(AppCommand->Render.Zoom == zoom && AppCommand->Captures.Frames2Capture == limit,
               name.constData());
    }
  }

  // The value type holds every entry: parse, write and parse again give the
  // same values and the same bytes.
  void valuesRoundTripThroughTheirText() {
    TPresetValues v;
    v.CaptureFilePath = QStringLiteral("/data/caps/");
    v.Gain = -1000;
    v.Exposure = 412;
    v.ExpMin = 3;
    v.ExpMax = 1349;
    v.ExpMs = 16.016;
    v.ViewPort = {1, 2, 640, 480, 5, 6, 7, 8, 1920, 1080, 11, 12, 13, 14, 15, 4294967295u};
    v.Frequency = 8;
    v.OutMode = 3;
    v.IPDelay = 65535;
    v.BayerAlgIndex = 6;
    v.SaveImageMode = 1;
    v.ZoomValue = -3;
    v.Gamma = v.SDRAM = v.WinIconic = true;
    v.FrameRate = 29.97;
    v.UseEscKey = false;
    v.Frames2Capture = QStringLiteral("12 frames");
    v.WinState = 2;
    const QByteArray text = PresetText(v);
    TPresetValues read;
    QString why;
    QVERIFY(ParsePresetText(text, read, why));
    QVERIFY(read == v);
    QCOMPARE(PresetText(read), text);
    QCOMPARE(Entry(text, "ExpMs") + Entry(text, "res6"), QStringLiteral("16.0164294967295"));
  }

  // What the dialog's controls collect after a preset's values were applied
  // to them is those values, for every control a preset sets.
  void theDialogAppliesAndCollectsEveryControl() {
    TPresetValues v;
    QString why;
    QVERIFY(ParsePresetText(Saved(), v, why));
    v.CaptureFilePath = QStringLiteral("/data/caps/");
    v.Gain = -700;
    v.Exposure = v.ExpMax / 3;
    v.OutMode = 3;
    v.IPDelay = 300;
    v.BayerAlgIndex = 6;
    v.SaveImageMode = 1;
    v.Gamma = v.SDRAM = true;
    v.UseEscKey = false;
    v.Frames2Capture = QStringLiteral("17");
    // Controls away from those values, quietly.
    {
      const QSignalBlocker frequency(SettingsForm->cbFrequency);
      SettingsForm->cbFrequency->setCurrentIndex(0);
      const QSignalBlocker exposure(SettingsForm->tbExposure);
      SettingsForm->tbExposure->setRange(0, 1920);
    }
    SettingsForm->ApplyPreset(v);
    const TPresetValues c = SettingsForm->CollectPreset();
    QCOMPARE(c.CaptureFilePath + c.Frames2Capture, v.CaptureFilePath + v.Frames2Capture);
    QCOMPARE((std::array{c.Gain, c.OutMode, c.IPDelay, c.BayerAlgIndex, c.SaveImageMode}),
             (std::array{v.Gain, v.OutMode, v.IPDelay, v.BayerAlgIndex, v.SaveImageMode}));
    QCOMPARE((std::array{c.Exposure, c.ExpMin, c.ExpMax, c.Frequency}),
             (std::array{v.Exposure, v.ExpMin, v.ExpMax, v.Frequency}));
    QCOMPARE((std::array{c.Gamma, c.SDRAM, c.UseEscKey}),
             (std::array{v.Gamma, v.SDRAM, v.UseEscKey}));
    QCOMPARE(AppCommand->Captures.Frames2Capture, 17);
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
      const std::int32_t inUse = AppCommand->Captures.Frames2Capture;
      AppCommand->SetFrames2Capture(7);
      QCOMPARE(Load(file), TPresetLoad::Loaded);
      QCOMPARE(AppCommand->Captures.Frames2Capture, c.loaded);
      QCOMPARE(SettingsForm->eFrames->text(), QLatin1String(c.saved));
      AppCommand->SetFrames2Capture(inUse);
    }
    QVERIFY(messages_.isEmpty());
  }

  void aMissingFrameRateAppliesNothing() {
    SetUpState();
    const QByteArray base = Saved();
    ResetState();
    SettingsForm->cbSDRAM->setChecked(true);
    const DirectDriver driver;
    QCOMPARE(driver.Read(GetSDRAMStatus), DWORD{1});
    QCOMPARE(Load(WithEntry(base, "FrameRate", nullptr)), TPresetLoad::Stopped);
    QCOMPARE(messages_, QStringList{"'' is not a valid floating point value"});
    QCOMPARE(AppCommand->Render.Zoom, 1);  // the entries before it are not applied either
    QVERIFY(!SettingsForm->cbGammaCorrection->isChecked());
    QCOMPARE(driver.Read(GetSDRAMStatus), DWORD{1});
    QCOMPARE(SettingsForm->tbInterPacketDelay->value(), 0);
    QCOMPARE(SettingsForm->rgDebayer->ItemIndex(), 0);
    QCOMPARE(Load(WithEntry(base, "ExpMs", "1,5")), TPresetLoad::Stopped);
    QCOMPARE(messages_.last(), QStringLiteral("'1,5' is not a valid floating point value"));
  }

  void loadingIsRefusedWhileACaptureRuns() {
    SetUpState();
    const QByteArray base = Saved();
    ResetState();
    AppCommand->Captures.CaptureRunning = true;
    const TPresetLoad result = Load(base);
    AppCommand->Captures.CaptureRunning = false;
    QCOMPARE(result, TPresetLoad::Refused);
    QCOMPARE(AppCommand->Render.Zoom, 1);
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
         WithEntry(WithEntry(base, "ZoomValue", "2147483647"), "Gain", "-2147483648"),
         TPresetLoad::Loaded},
        {"integer beyond 32 bits", WithEntry(base, "SizeX", "99999999999999999999"),
         TPresetLoad::Stopped},
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
      QVERIFY2(AppCommand->Render.Zoom >= -4 && AppCommand->Render.Zoom <= 5, c.name);
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
    const ScopedQuestionSink replace([](const QString&) { return true; });
    QByteArray closing;
    {
      const FileSizeLimit full(64);  // far less than a preset
      MainForm->SavePreset1->trigger();
      closing = StandardErrorOf([] { SaveClosingPreset(MainForm, false); });
    }
    QCOMPARE(messages_,
             QStringList{"Profile : " + path + " not stored: the file could not be written"});
    // The closing save has no window left: one line on standard error.
    QCOMPARE(closing, "The settings were not saved to \"" +
                          QFile::encodeName(QDir::current().absoluteFilePath("qdv47b5.pre")) +
                          "\": File too large\n");
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
    QStringList questions;
    const ScopedQuestionSink replace([&](const QString& q) { return questions << q, true; });
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
    QCOMPARE(questions, QStringList{path + " already exists.\nDo you want to replace it?"});
  }

  // "Save Preset" onto a name that holds a file asks first, and "No" keeps
  // the file; a folder or a FIFO is never replaced and gives no question.
  void savingOntoAnExistingFileAsksFirst() {
    const QByteArray recording(100000, 'R');
    WriteAll(QStringLiteral("VIDEO_4.RAW"), recording);
    QVERIFY(QDir().mkdir(QStringLiteral("folder.pre")));
    QVERIFY(::mkfifo("fifo.pre", 0600) == 0);
    QString chosen;
    const ScopedFileDialogRunner runner([&](QFileDialog& d) {
      d.selectFile(QDir::current().absoluteFilePath(chosen));
      return true;
    });
    QStringList questions;
    const ScopedQuestionSink keep([&](const QString& q) { return questions << q, false; });
    for (const char* name : {"VIDEO_4.RAW", "folder.pre", "fifo.pre"}) {
      chosen = QLatin1String(name);
      MainForm->SavePreset1->trigger();
    }
    const QString path = QDir::current().absoluteFilePath(QStringLiteral("%1"));
    QCOMPARE(questions,
             QStringList{path.arg("VIDEO_4.RAW") + " already exists.\nDo you want to replace it?"});
    QCOMPARE(ReadAll(QStringLiteral("VIDEO_4.RAW")), recording);
    QCOMPARE(messages_,
             (QStringList{
                 "Profile : " + path.arg("folder.pre") + " not stored: it is not a regular file",
                 "Profile : " + path.arg("fifo.pre") + " not stored: it is not a regular file"}));
    QVERIFY(QFileInfo(QStringLiteral("folder.pre")).isDir());
    QVERIFY(QFile::remove(QStringLiteral("VIDEO_4.RAW")) &&
            QFile::remove(QStringLiteral("fifo.pre")));
    QVERIFY(QDir().rmdir(QStringLiteral("folder.pre")));
  }

  // A capture folder that cannot be made is refused with its reason, and
  // the previous folder stays.
  void aFolderThatCannotBeMadeKeepsThePreviousOne() {
    SettingsForm->edPath->setText(QStringLiteral("/kept/"));
    const ScopedFileDialogRunner runner([](QFileDialog& d) {
      d.setDirectory(QStringLiteral("/proc"));
      d.selectFile(QStringLiteral("nonexist/cap"));
      return true;
    });
    SettingsForm->btSetPathClick();
    QCOMPARE(SettingsForm->edPath->text(), QStringLiteral("/kept/"));
    QCOMPARE(messages_, QStringList{"Cannot make the folder \"/proc/nonexist/cap\". "
                                    "No such file or directory"});
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
