// The settings dialog: curve tables, every slider's effect on the rendered
// picture against the image library with the same values, labels, resets,
// both white balances, the demosaicing choice and the working directory.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <cmath>

#include "common/FileDialogs.h"
#include "viewer/CurveTables.h"
#include "viewer/TSettingsForm.h"
#include "viewer/tests/ViewerTestSupport.h"

namespace {

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new ViewerEnvironment);

TEST(CurveTables, TheCasesOfTheCurves) {
  EXPECT_EQ(CurveContrast(-64), 0.5);
  EXPECT_EQ(CurveContrast(64), 2.0);
  EXPECT_EQ(CurveContrast(63), std::pow(4.0, 63 / 127.0));
  EXPECT_EQ(CurveContrast(500), 4.0);  // clamped to 127
  std::uint8_t lut12[4096], lut10[1024];
  std::uint16_t raw12[4096], raw10[1024];
  BuildCurveTable8(0, 0, 0, lut12, 4096);
  BuildCurveTable8(0, 0, 0, lut10, 1024);
  BuildCurveTable16(0, 0, 0, raw12, 4096);
  BuildCurveTable16(0, 0, 0, raw10, 1024);
  for (int i = 0; i < 4096; ++i) ASSERT_TRUE(lut12[i] == i >> 4 && raw12[i] == i) << i;
  for (int i = 0; i < 1024; ++i) ASSERT_TRUE(lut10[i] == i >> 2 && raw10[i] == i) << i;
  // Brightness 127: entry 0 is trunc(256 (0.5 / 4096 + 0.5)) = 128, 255 from 2032 on.
  BuildCurveTable8(127, 0, 0, lut12, 4096);
  EXPECT_EQ(lut12[0], 128);
  EXPECT_EQ(lut12[2031], 254);
  for (int i = 2032; i < 4096; ++i) ASSERT_EQ(lut12[i], 255) << i;
  // Gamma -127 raises x to 1/3.
  BuildCurveTable16(0, 0, -127, raw10, 1024);
  for (int i : {0, 1, 100, 700, 1023})
    EXPECT_EQ(raw10[i], static_cast<int>(1024 * std::pow((i + 0.5) / 1024, 1 / 3.0))) << i;
  // Contrast 64 doubles the distance from the middle, clamped.
  BuildCurveTable16(0, 64, 0, raw12, 4096);
  EXPECT_EQ(raw12[0], 0);
  EXPECT_EQ(raw12[2048], 2049);
  EXPECT_EQ(raw12[4095], 4095);
}

class SettingsTest : public ViewerTest {
 protected:
  SettingsTest() : settings(std::make_unique<TSettingsForm>(form.get())) {
    settings->ExploreFolder = [this](const QString& folder) { explored = folder; };
    settings->FormCreate();
  }
  ~SettingsTest() override {
    form->Session.Settings = nullptr;
    settings.reset();
  }
  // Record SampleFrame of a small sample in a mode.
  std::vector<std::uint8_t> OpenSample(std::int32_t status, int mode) {
    const TSampleFile s{status, 320, 180, 3};
    OpenAt(SamplePath(SampleName(s)), SampleFrame);
    form->Session.SetDebayerMode(mode);
    return ReadBytes(SamplePath(CameraFrameName(s)));
  }
  std::unique_ptr<TSettingsForm> settings;
  QString explored;
};

TEST_F(SettingsTest, CorrectionSlidersRenderAsTheLibraryDoes) {
  const std::vector<std::uint8_t> frame = OpenSample(1, 4);
  ColorCorrection* reference = CreateColorCorrection();
  settings->cbImgCorrectionSelect->setCurrentIndex(1);
  settings->CorrectionChange();  // as the user's choice does
  struct Step {
    QSlider* slider;
    int value;
  } steps[] = {{settings->tbRed, 150},  {settings->tbGreen, 80},       {settings->tbBlue, 120},
               {settings->tbHue, -450}, {settings->tbSaturation, 250}, {settings->tbLightless, 70}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.slider->objectName().toStdString());
    step.slider->setValue(step.value);
    SetColorCorrectionParams(
        reference, settings->tbRed->value() / 100.0, 0, settings->tbGreen->value() / 100.0, 0,
        settings->tbBlue->value() / 100.0, 0, settings->tbHue->value() / 10.0,
        settings->tbSaturation->value() / 100.0, settings->tbLightless->value() / 100.0, 0);
    EXPECT_TRUE(Shown() == LibraryPicture(1, frame, 320, 180, 4, reference));
  }
  EXPECT_EQ(settings->lbHue->text(), QStringLiteral("-45.0"));
  EXPECT_EQ(settings->lbSaturation->text(), QStringLiteral("2.50"));
  // "Disable": the picture uncorrected, sliders disabled, labels kept.
  settings->cbImgCorrectionSelect->setCurrentIndex(0);
  settings->CorrectionChange();
  EXPECT_FALSE(form->Session.CorrectionOn);
  EXPECT_FALSE(settings->tbRed->isEnabled());
  EXPECT_EQ(settings->lbRed->text(), QStringLiteral("1.50"));
  EXPECT_TRUE(Shown() == LibraryPicture(1, frame, 320, 180, 4, nullptr));
  FreeColorCorrection(reference);
}

TEST_F(SettingsTest, MonoCurveMapsTenAndTwelveBitFrames) {
  for (std::int32_t status : {2, 4}) {
    const std::vector<std::uint8_t> frame = OpenSample(status, 6);
    settings->tbMonoBrightness->setValue(30);
    settings->tbMonoContrast->setValue(-64);
    settings->tbMonoGamma->setValue(50);
    const int n = status == 2 ? 4096 : 1024;
    std::vector<std::uint8_t> lut(n);
    BuildCurveTable8(30, -64, 50, lut.data(), n);
    TRenderTables tables;
    tables.lookup = lut.data();
    EXPECT_TRUE(Shown() == LibraryPicture(status, frame, 320, 180, 6, nullptr, tables)) << status;
    settings->btDefaultLookupTableClick();
    EXPECT_TRUE(Shown() == LibraryPicture(status, frame, 320, 180, 6, nullptr)) << status;
  }
}

TEST_F(SettingsTest, RGBCurvesApplyWithRAWColorCorrection) {
  const std::vector<std::uint8_t> frame = OpenSample(2, 1);
  settings->tbChannel[0][0]->setValue(40);   // red brightness
  settings->tbChannel[1][1]->setValue(-30);  // green contrast
  settings->tbChannel[2][2]->setValue(90);   // blue gamma
  // Without the check box the tables wait.
  EXPECT_TRUE(Shown() == LibraryPicture(2, frame, 320, 180, 1, nullptr));
  settings->cbRAWColorCorrection->setChecked(true);
  std::vector<std::uint16_t> red(4096), green(4096), blue(4096);
  BuildCurveTable16(40, 0, 0, red.data(), 4096);
  BuildCurveTable16(0, -30, 0, green.data(), 4096);
  BuildCurveTable16(0, 0, 90, blue.data(), 4096);
  TRenderTables tables;
  tables.raw[0] = red.data(), tables.raw[1] = green.data(), tables.raw[2] = blue.data();
  EXPECT_TRUE(Shown() == LibraryPicture(2, frame, 320, 180, 1, nullptr, tables));
}

TEST_F(SettingsTest, CurveLabelsFollowTheSliders) {
  EXPECT_EQ(settings->lbMonoBrightnessValue->text(), QStringLiteral("0"));
  EXPECT_EQ(settings->lbMonoGammaValue->text(), QStringLiteral("1.00"));
  const struct {
    int value;
    const char *brightness, *contrast, *gamma;
  } cases[] = {
      {-127, "0.50", "0.25", "0.33"}, {0, "1.00", "1.00", "1.00"}, {127, "2.00", "4.00", "3.00"}};
  for (const auto& c : cases) {
    for (QSlider* s :
         {settings->tbMonoBrightness, settings->tbMonoContrast, settings->tbMonoGamma,
          settings->tbChannel[2][0], settings->tbChannel[2][1], settings->tbChannel[2][2]}) {
      s->setValue(c.value == 0 ? 1 : c.value);  // moves, so the handler runs
      s->setValue(c.value);
    }
    EXPECT_EQ(settings->lbMonoBrightnessValue->text(), QLatin1String(c.brightness));
    EXPECT_EQ(settings->lbMonoContrastValue->text(), QLatin1String(c.contrast));
    EXPECT_EQ(settings->lbMonoGammaValue->text(), QLatin1String(c.gamma));
    EXPECT_EQ(settings->lbChannelValue[2][1]->text(), QLatin1String(c.contrast));
  }
}

TEST_F(SettingsTest, DoubleClickResetsAndDefaultRestores) {
  settings->cbImgCorrectionSelect->setCurrentIndex(1);
  settings->CorrectionChange();
  settings->tbRed->setValue(40);
  settings->tbHue->setValue(300);
  QTest::mouseDClick(settings->lbRed, Qt::LeftButton);
  QTest::mouseDClick(settings->lbHue, Qt::LeftButton);
  EXPECT_EQ(settings->tbRed->value(), 100);
  EXPECT_EQ(settings->tbHue->value(), 0);
  settings->tbSaturation->setValue(300);
  settings->btImageCorrectionDefault->click();
  EXPECT_EQ(settings->tbSaturation->value(), 100);
  EXPECT_EQ(settings->lbSaturation->text(), QStringLiteral("1.00"));
}

TEST_F(SettingsTest, WhiteBalanceSetsGainsAndSwitchesCorrectionOn) {
  // A grey frame keeps the gains at 100.
  const QString grey = dir.filePath(QStringLiteral("grey.raw"));
  WriteRAWFile(grey, MakeHeader(1, 32, 8), {Record(std::vector<std::uint8_t>(256, 90))});
  OpenAt(grey, 1);
  form->Session.SetDebayerMode(4);
  settings->btWhiteBalance->click();
  EXPECT_TRUE(form->Session.CorrectionOn);
  EXPECT_EQ(settings->cbImgCorrectionSelect->currentIndex(), 1);
  EXPECT_EQ(settings->tbRed->value(), 100);
  EXPECT_EQ(settings->tbBlue->value(), 100);
  // Green over red 7 (GBRG cells: G B / R G): red's gain 7 / 2.8 = 2.5 stops
  // at 200; green and blue 1 / 2.8.
  std::vector<std::uint8_t> cells(256);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 32; ++x) cells[y * 32 + x] = (y % 2 == 1 && x % 2 == 0) ? 15 : 105;
  const QString reddish = dir.filePath(QStringLiteral("little-red.raw"));
  WriteRAWFile(reddish, MakeHeader(1, 32, 8), {Record(cells)});
  OpenAt(reddish, 1);
  settings->btWhiteBalance->click();
  EXPECT_EQ(settings->tbRed->value(), 200);
  EXPECT_EQ(settings->tbGreen->value(), 36);
  EXPECT_EQ(settings->tbBlue->value(), 36);
  // Mode 0 measures nothing: the sliders keep their positions.
  form->Session.SetDebayerMode(0);
  settings->tbRed->setValue(150);
  settings->btWhiteBalance->click();
  EXPECT_EQ(settings->tbRed->value(), 150);
  form->Session.SetDebayerMode(1);
  EXPECT_EQ(settings->tbRed->value(), 150);
}

TEST_F(SettingsTest, RAWWhiteBalanceWaitsForAWideFileAndDefaultKeepsIt) {
  OpenSample(1, 1);
  settings->tbChannel[0][0]->setValue(20);
  settings->btWhiteBalanceRAW->click();
  EXPECT_EQ(settings->tbChannel[0][0]->value(), 0);
  EXPECT_TRUE(form->Session.WhiteBalanceRAWPending);
  EXPECT_TRUE(form->Session.RAWCorrectionOn);
  EXPECT_TRUE(settings->cbRAWColorCorrection->isChecked());
  OpenSample(2, 1);
  form->Session.RepaintForm();
  EXPECT_FALSE(form->Session.WhiteBalanceRAWPending);
  std::vector<std::uint16_t> measured(form->Session.RAWTable12[0],
                                      form->Session.RAWTable12[0] + 4096);
  bool identity = true;
  for (int i = 0; i < 4096; ++i) identity = identity && measured[i] == i;
  EXPECT_FALSE(identity);
  settings->btDefaultRGBTable->click();  // the nine sliders are 0 already
  EXPECT_TRUE(std::equal(measured.begin(), measured.end(), form->Session.RAWTable12[0]));
}

TEST_F(SettingsTest, DebayerGroupAndShortcutsAgree) {
  OpenSample(4, 0);
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  for (int mode = 0; mode < 8; ++mode) {
    QTest::keyClick(form.get(), Qt::Key(Qt::Key_0 + mode), Qt::AltModifier);
    EXPECT_EQ(form->Session.CurrentDebayerMode, mode);
    EXPECT_EQ(settings->rgDebayerButtons->checkedId(), mode);
  }
  for (int mode : {3, 0, 7}) {
    settings->rgDebayerButtons->button(mode)->click();
    EXPECT_EQ(form->Session.CurrentDebayerMode, mode);
  }
}

// Answers the folder chooser once it is shown: types `typed` into its name
// field and presses Enter, or cancels it when typed is empty. Looks for it
// every 10 ms for up to 30 s.
void AnswerFolderChooser(const QString& typed, bool* answered, int tries = 3000) {
  QTimer::singleShot(10, [typed, answered, tries] {
    auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (chooser == nullptr) {  // not shown yet
      if (tries > 1) AnswerFolderChooser(typed, answered, tries - 1);
      return;
    }
    *answered = true;
    if (typed.isEmpty()) return chooser->reject();
    auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(typed);
    // A refused name shows a box over the chooser and leaves it open: close
    // both, so that the test goes on and fails on the folder.
    QTimer::singleShot(0, [chooser = QPointer<QFileDialog>(chooser)] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
      if (chooser != nullptr && chooser->isVisible()) chooser->reject();
    });
    QTest::keyClick(name, Qt::Key_Return);
  });
}

TEST_F(SettingsTest, WorkingDirectoryChosenAndExplored) {
  // The real chooser, given a folder two levels below one that exists.
  const QString chosen = dir.filePath(QStringLiteral("frames/new"));
  bool answered = false;
  AnswerFolderChooser(chosen, &answered);
  settings->Btn_SetFramePath->click();
  EXPECT_TRUE(answered);
  EXPECT_TRUE(QFileInfo(chosen).isDir());
  EXPECT_EQ(form->Session.WorkDir, chosen + QStringLiteral("/"));
  EXPECT_EQ(settings->Edit_FramePath->text(), chosen + QStringLiteral("/"));
  settings->Btn_Goto->click();
  EXPECT_EQ(explored, chosen + QStringLiteral("/"));
  EXPECT_TRUE(messages.isEmpty());
  // Deleted: reported, then the program's folder.
  ASSERT_TRUE(QDir(chosen).removeRecursively());
  settings->Btn_Goto->click();
  EXPECT_EQ(TakeMessages(),
            QStringLiteral("Error|Directory does not exist : '") + chosen + QStringLiteral("/' !"));
  const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/");
  EXPECT_EQ(form->Session.WorkDir, program);
  EXPECT_EQ(settings->Edit_FramePath->text(), program);
  EXPECT_EQ(explored, program);
  // An existing folder is taken as it is; Cancel changes nothing.
  answered = false;
  AnswerFolderChooser(dir.path(), &answered);
  settings->Btn_SetFramePath->click();
  EXPECT_TRUE(answered);
  EXPECT_EQ(form->Session.WorkDir, dir.path() + QStringLiteral("/"));
  answered = false;
  AnswerFolderChooser(QString(), &answered);
  settings->Btn_SetFramePath->click();
  EXPECT_TRUE(answered);
  EXPECT_EQ(form->Session.WorkDir, dir.path() + QStringLiteral("/"));
}

// Both file dialogs of the viewer are Qt's own and read-only: Qt's dialog
// would otherwise delete the selected file or folder tree on Delete.
TEST_F(SettingsTest, FileDialogsAreReadOnly) {
  QStringList dialogs;  // read-only and Qt's own, for each dialog shown
  const ScopedFileDialogRunner runner([&](QFileDialog& d) {
    dialogs << QString::number(d.testOption(QFileDialog::ReadOnly)) +
                   QString::number(d.testOption(QFileDialog::DontUseNativeDialog));
    return false;
  });
  form->mOpenRAWfileClick();
  settings->Btn_SetFramePath->click();
  EXPECT_EQ(dialogs, (QStringList{"11", "11"}));
}

}  // namespace
