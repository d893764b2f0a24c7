// The program: its forms in order, exceptions escaping a handler, the
// file-information lines (also for hostile headers under a decimal-comma
// locale), the about box, and the keys of every dialog.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <clocale>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <stdexcept>

#include "common/tests/ToolBarPictures.h"
#include "viewer/Program.h"
#include "viewer/TAboutForm.h"
#include "viewer/TFileInfo.h"
#include "viewer/THistogram.h"
#include "viewer/TSettingsForm.h"
#include "viewer/tests/ViewerTestSupport.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment = ::testing::AddGlobalTestEnvironment(
    new TQtTestEnvironment<TViewerApplication>("viewer_program_tests"));

class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest()
      : sink_([this](MessageKind kind, const QString& caption, const QString& text) {
          messages << QStringLiteral("%1|%2|%3").arg(int(kind)).arg(caption, text);
        }) {}
  ~ProgramTest() override { DestroyForms(); }

  QStringList Info() {
    QStringList lines;
    AppForm->Session.ListFileInfo(lines);
    return lines;
  }
  void OpenHeader(const RAWVideoHeader& h) {
    const QString path = dir.filePath(QStringLiteral("info.raw"));
    WriteRAWFile(path, h, {});
    AppForm->Session.FileName = path;
    AppForm->Session.OpenRAWFile();
  }

  QTemporaryDir dir;
  QStringList messages;

 private:
  ScopedMessageSink sink_;
};

TEST_F(ProgramTest, FormsInOrderWithTheFileOpenedFirst) {
  const QString sample = SamplePath(SampleName(SampleFiles[1]));
  const QStringList order = CreateForms({QStringLiteral("QDVView"), sample});
  EXPECT_EQ(order, QStringList({"AppForm", "FileInfo", "AboutForm", "SettingsForm", "Histogram"}));
  EXPECT_TRUE(AppForm->Session.FileOpen());
  EXPECT_EQ(AppForm->Session.FrameCounter, 1);
  EXPECT_EQ(AppForm->Session.Settings, SettingsForm);
  EXPECT_EQ(AppForm->Session.HistogramView, Histogram);
  EXPECT_EQ(QApplication::applicationName(),
            QStringLiteral("QDV47B5 RAW video viewer and convertor"));
}

TEST_F(ProgramTest, ToolButtonsCanBeToldApartAndRead) {
  CreateForms({QStringLiteral("QDVView"), SamplePath(SampleName(SampleFiles[1]))});
  AppForm->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(AppForm));
  // The capital letters of the word "AVI": 7 pixels, where a word squeezed
  // into the square was 5.
  EXPECT_EQ(ToolBarPicturesProblem(*AppForm->ToolBar, {QStringLiteral("bSaveAVI")}, 7), QString());
}

TEST_F(ProgramTest, AnEscapingExceptionIsShownAndTheProgramGoesOn) {
  CreateForms({QStringLiteral("QDVView")});
  bool after = false;
  QTimer::singleShot(0, AppForm, [] { throw std::runtime_error("Frame table broken"); });
  QTimer::singleShot(0, AppForm, [] { throw 42; });
  QTimer::singleShot(5, AppForm, [&after] {
    after = true;
    QApplication::quit();
  });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(after);
  EXPECT_EQ(messages, QStringList({"1||Frame table broken", "1||"}));
}

TEST_F(ProgramTest, FileInformationOfASampleAndOfOddHeaders) {
  CreateForms({QStringLiteral("QDVView")});
  EXPECT_EQ(Info(), QStringList({"No RAW file loaded"}));
  const QString sample = SamplePath(SampleName(SampleFiles[0]));
  AppForm->Session.FileName = sample;
  AppForm->Session.OpenRAWFile();
  const RAWVideoHeader& h = AppForm->Session.Header;
  const QStringList lines = Info();
  ASSERT_EQ(lines.size(), 10);
  EXPECT_EQ(lines[0], QStringLiteral("FileName: '") + sample + QStringLiteral("'"));
  EXPECT_EQ(lines[1], QStringLiteral("Siganture: Ok"));
  EXPECT_EQ(lines[2], QStringLiteral("BayerMatrix: GBRG"));
  EXPECT_TRUE(lines[3].startsWith(QStringLiteral("DeviceID: ")));
  EXPECT_NE(lines[3], QStringLiteral("DeviceID: ?.?.?.?.?"));
  EXPECT_EQ(lines[4], QStringLiteral("ViewPort: 320x180"));
  EXPECT_EQ(lines[5], QStringLiteral("Video Type: 8 bpp"));
  const double frequency = h.Frequency, frameRate = h.FrameRate;
  EXPECT_GT(frequency, 0.0);
  EXPECT_EQ(lines[6], QString::asprintf("Frequency: %.3f Mhz", frequency * 0.000001));
  EXPECT_EQ(lines[8], QString::asprintf("FrameRate: %.3f fps", frameRate));

  // The window lists them when it becomes active.
  FileInfo->ShowNonModal();
  EXPECT_EQ(FileInfo->Memo->toPlainText(), lines.join('\n'));

  const struct {
    std::int32_t status;
    const char* line;
  } types[] = {
      {1, "Video Type: 8 bpp"},  {2, "Video Type: 12 bpp"}, {3, "Video Type: 8 bpp compressed"},
      {4, "Video Type: 10 bpp"}, {5, "Video Type: ???"},    {-1, "Video Type: ???"}};
  for (const auto& type : types) {
    OpenHeader(MakeHeader(type.status, 8, 8));
    EXPECT_EQ(Info()[5], QString::fromLatin1(type.line)) << type.status;
  }

  const RAWVideoHeader zero{};
  OpenHeader(zero);
  EXPECT_EQ(Info().mid(1),
            QStringList({"Siganture: BAD!", "Bayer Matrix: Monochrome", "DeviceID: ?.?.?.?.?",
                         "ViewPort: 0x0", "Video Type: ???", "Frequency: 0.000 Mhz",
                         "Exposure: 0.000 ms", "FrameRate: 0.000 fps", "Gain: 0.000 dB"}));
}

TEST_F(ProgramTest, HostileHeaderUnderADecimalCommaLocale) {
  const char* locale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  if (locale == nullptr) {
    const std::string folder = ::testing::TempDir() + "viewer_locales";
    const std::string command =
        "localedef -i de_DE -f UTF-8 " + folder + "/de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0) {
      ::setenv("LOCPATH", folder.c_str(), 1);
      locale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    }
  }
  CreateForms({QStringLiteral("QDVView")});
  RAWVideoHeader h = MakeHeader(2, 16, 16);
  const char bayer[4] = {'\x01', 'B', '\xff', 'G'};
  std::memcpy(h.BayerMatrix, bayer, 4);
  h.Frequency = 1e300;
  h.Exposure = std::numeric_limits<double>::quiet_NaN();
  h.FrameRate = std::numeric_limits<double>::infinity();
  h.Gain = -2.5;
  OpenHeader(h);
  const QStringList lines = Info();
  EXPECT_EQ(lines[2], QStringLiteral("BayerMatrix: ?B?G"));
  // 1e300 Hz: 1e294 MHz written out in full, 295 digits and 3 decimals.
  EXPECT_TRUE(lines[6].startsWith(QStringLiteral("Frequency: 1000")));
  EXPECT_TRUE(lines[6].endsWith(QStringLiteral(".000 Mhz")));
  EXPECT_EQ(lines[6].size(), QStringLiteral("Frequency: ").size() + 295 + 8);
  EXPECT_EQ(lines[7], QStringLiteral("Exposure: nan ms"));
  EXPECT_EQ(lines[8], QStringLiteral("FrameRate: inf fps"));
  EXPECT_EQ(lines[9], QStringLiteral("Gain: -2.500 dB"));
  std::setlocale(LC_NUMERIC, "C");
  if (locale == nullptr) GTEST_SKIP() << "no locale with a decimal comma (checked in C)";
}

TEST_F(ProgramTest, AboutBoxFillsItsLabelsAndEscCloses) {
  CreateForms({QStringLiteral("QDVView")});
  AboutForm->show();
  AboutForm->FormActivate();
  EXPECT_EQ(AboutForm->Label1->text(), QStringLiteral("QDV-47B5 Viewer and Convertor"));
  EXPECT_EQ(AboutForm->Label3->text(), QStringLiteral("Version 1.0"));
  EXPECT_TRUE(AboutForm->Label5->text().startsWith(QStringLiteral("Compiled ")));
  EXPECT_FALSE(AboutForm->lbVersionInfo->isVisible() || AboutForm->lbVersionInfo->isEnabled());
  EXPECT_EQ(AboutForm->Image1->pixmap().size(), QSize(100, 100));
  // The designed size, wider only where the column of texts needs it.
  EXPECT_EQ(AboutForm->height(), 155);
  EXPECT_EQ(AboutForm->width(), 320 + AboutForm->Label1->width() - 200);
  QTest::keyClick(AboutForm, Qt::Key_Escape);
  EXPECT_FALSE(AboutForm->isVisible());
  // The modal box from the menu, closed by its button.
  QTimer::singleShot(0, AboutForm, [] { AboutForm->SpeedButton1->click(); });
  AppForm->mAbout->trigger();
  EXPECT_FALSE(AboutForm->isVisible());
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ProgramTest, NoDialogHasADefaultButtonAndEscNeverJustHides) {
  CreateForms({QStringLiteral("QDVView")});
  // The program's own forms; the standard open dialog keeps its Open button.
  for (QDialog* dialog :
       std::initializer_list<QDialog*>{FileInfo, AboutForm, SettingsForm, Histogram})
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
      EXPECT_FALSE(button->autoDefault() || button->isDefault())
          << (dialog->objectName() + '.' + button->objectName()).toStdString();

  // The settings dialog is hidden by its close box only; the histogram and
  // file-information windows close as by their close boxes (the histogram's
  // updates follow its visibility).
  const struct {
    QDialog* form;
    bool shownAfterEsc;
  } rows[] = {{SettingsForm, true}, {Histogram, false}, {FileInfo, false}};
  for (const auto& row : rows) {
    row.form->show();
    QTest::keyClick(row.form, Qt::Key_Escape);
    EXPECT_EQ(row.form->isVisible(), row.shownAfterEsc) << row.form->objectName().toStdString();
  }
}

}  // namespace
