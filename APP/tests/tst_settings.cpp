// The settings dialog on the simulated camera: controls found by name and
// driven as a user would, their effect read back from the camera past the
// camera object.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <vector>

#include "APP/forms/fmSettings.h"
#include "APP/tests/test_settings_setup.h"
#include "QDV47B5API.h"
#include "common/Format.h"
#include "common/Messages.h"
#include "common/RadioGroup.h"
#include "imaging/colorcorrection.h"

namespace {

// Control codes of every request the camera object can make.
constexpr DWORD AllRequests[] = {QDV_IOCTL_COMMAND,          QDV_IOCTL_SET_SENSOR_REG,
                                 QDV_IOCTL_LOOKUP_TABLE,     QDV_IOCTL_FRAME_WAIT_TIMEOUT,
                                 QDV_IOCTL_GET_FRAME,        QDV_IOCTL_STREAM_STATUS,
                                 QDV_IOCTL_VIEWPORT,         QDV_IOCTL_STATISTICS,
                                 QDV_IOCTL_FREQUENCY,        QDV_IOCTL_TRIGGER_CONTROL,
                                 QDV_IOCTL_EXTERNAL_INPUT,   QDV_IOCTL_CAMERA_INFO,
                                 QDV_IOCTL_GET_SENSOR_REG,   QDV_IOCTL_SDRAM_STATUS,
                                 QDV_IOCTL_MEDIAN_FILTER,    QDV_IOCTL_INTER_PACKET_GAP,
                                 QDV_IOCTL_PARAM227,         QDV_IOCTL_WHITE_BALANCE,
                                 QDV_IOCTL_COLOR_ENHANCEMENT};

std::vector<std::uint16_t> BuiltTable(int brightness, int contrast, int gamma) {
  std::vector<std::uint16_t> table(QDV_LOOKUP_ENTRIES);
  BuildLookupTable(brightness, contrast, gamma, table.data(), 255);
  return table;
}

template <class T>
T* Control(const char* name) {
  return SettingsForm->findChild<T*>(QLatin1String(name));
}

// A user's choice in a drop-down list.
void Choose(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}

void Type(QLineEdit* edit, const QString& text) { edit->setText(text); }

QStringList ComboItems(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

void Activate() {
  QEvent activate(QEvent::WindowActivate);
  QCoreApplication::sendEvent(SettingsForm, &activate);
}

}  // namespace

class TestSettings : public QObject {
  Q_OBJECT

  SettingsApplication application_;
  simcam::SimCamera* camera_ = nullptr;
  QStringList& messages_ = application_.Messages;

 private slots:
  void initTestCase() { camera_ = &application_.Start(); }

  void init() { messages_.clear(); }

  void creationMakesNoCameraCall() {
    camera_->ResetRequestCounts();
    TSettingsForm form;
    form.FormCreate();
    AppCommand->SettingsView = SettingsForm;
    std::uint64_t requests = 0;
    for (DWORD code : AllRequests) requests += camera_->RequestCount(code);
    QCOMPARE(requests, std::uint64_t{0});
    QVERIFY(!form.Updating);
    QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
    // The designed size, or more where the font needs it.
    QVERIFY(form.width() >= 410 && form.height() >= 384);
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QStringList tabs;
    for (int i = 0; i < form.pgSettings->count(); ++i)
      tabs << form.pgSettings->widget(i)->objectName() + '|' + form.pgSettings->tabText(i);
    QCOMPARE(tabs, (QStringList{"tsApplication|Application", "tsGeneral|General",
                                "tsLookupTable|Color correction", "tsAdvanced|Advanced",
                                "tsTrigger|Trigger", "tsStatistic|Statistic"}));
    QCOMPARE(form.pgSettings->currentIndex(), 0);
    // The lookup-table labels are filled; the vertical bars have their
    // minimum at the top.
    for (const char* label : {"lbMonoBrightnessValue", "lbRedGammaValue", "lbBlueContrastValue"})
      QCOMPARE(form.findChild<QLabel*>(label)->text(), QStringLiteral("1.00"));
    for (QSlider* bar : {form.tbExposure, form.tbGain, form.tbBlackLevel})
      QVERIFY(bar->invertedAppearance() && bar->invertedControls());
  }

  void clockAndOutputModeClearTheHighSpeedMode() {
    DirectDriver driver;
    QCOMPARE(SettingsForm->cbFrequency->itemText(7), QStringLiteral("75 Mhz"));
    QCOMPARE(SettingsForm->cbFrequency->itemText(8), QStringLiteral("70 Mhz"));
    for (int code : {7, 8}) {
      SettingsForm->cbSDRAM->setChecked(true);
      QCOMPARE(driver.Read(GetSDRAMStatus), DWORD{1});
      Choose(SettingsForm->cbFrequency, code);
      QCOMPARE(driver.Read(GetFrequency), DWORD(code));
      QVERIFY(!SettingsForm->cbSDRAM->isChecked());
      QCOMPARE(driver.Read(GetSDRAMStatus), DWORD{0});
    }
    QCOMPARE(ComboItems(SettingsForm->cbOutputMode),
             QStringList({"8 bit", "12 bit", "8 bits compress", "10 bits"}));
    SettingsForm->cbSDRAM->setChecked(true);
    Choose(SettingsForm->cbOutputMode, 3);
    QCOMPARE(AppCommand->OutMode, 4);
    QVERIFY(!SettingsForm->cbSDRAM->isChecked());
    QCOMPARE(driver.Read(GetSDRAMStatus), DWORD{0});
    Choose(SettingsForm->cbOutputMode, 0);
    Choose(SettingsForm->cbFrequency, 5);
  }

  void captureSettingsApplyOnlyThroughTheirButtons() {
    QLineEdit* size = SettingsForm->eBufferPoolSize;
    QLineEdit* count = SettingsForm->eBufferPoolCount;
    struct Case {
      const char *size, *count, *shownSize, *shownCount;
      int appliedSize, appliedCount;  // -1: refused
    };
    for (Case c : {Case{"abc", "1", "5", "2", 5, 2}, Case{"3", "", "5", "2", 5, 2},
                   Case{"16", "5000", "16", "1024", 16, 1024},
                   Case{"2000000000", "1024", "2000000000", "1024", -1, -1}}) {
      AppCommand->SetBufferPool(32, 16);
      Type(size, c.size);
      Type(count, c.count);
      SettingsForm->btBufferPool->click();
      QCOMPARE(size->text(), QLatin1String(c.shownSize));
      QCOMPARE(count->text(), QLatin1String(c.shownCount));
      QCOMPARE(AppCommand->Captures.PoolBlockSizeMB, c.appliedSize < 0 ? 16 : c.appliedSize);
      QCOMPARE(AppCommand->Captures.PoolBlockCount, c.appliedCount < 0 ? 32 : c.appliedCount);
    }
    QCOMPARE(messages_.size(), 1);

    // The frame limit: nothing until "Set"; ticking the box sets 0 again.
    SettingsForm->cbUnlimitedFrames->setChecked(false);
    QVERIFY(SettingsForm->eFrames->isEnabled());
    Type(SettingsForm->eFrames, QStringLiteral("25"));
    QCOMPARE(AppCommand->Captures.Frames2Capture, 0);
    SettingsForm->btSet->click();
    QCOMPARE(AppCommand->Captures.Frames2Capture, 25);
    Type(SettingsForm->eFrames, QStringLiteral("2x"));
    SettingsForm->btSet->click();
    QCOMPARE(AppCommand->Captures.Frames2Capture, 25);
    QCOMPARE(messages_.last(), QStringLiteral("'2x' is not a valid integer value"));
    SettingsForm->cbUnlimitedFrames->setChecked(true);
    QCOMPARE(SettingsForm->eFrames->text(), QStringLiteral("0"));
    QVERIFY(!SettingsForm->eFrames->isEnabled());
    QCOMPARE(AppCommand->Captures.Frames2Capture, 0);

    // A folder name with a line break would split its preset line.
    QVERIFY(!SettingsForm->SetCaptureFolder(QStringLiteral("/tmp/a\nb")));
    QCOMPARE(SettingsForm->CapturePath(), QStringLiteral("./"));
    QVERIFY(SettingsForm->SetCaptureFolder(QStringLiteral("/tmp/captures")));
    QCOMPARE(SettingsForm->CapturePath(), QStringLiteral("/tmp/captures/"));
    SettingsForm->SetCaptureFolder(QStringLiteral("./"));
  }

  void exposureGainAndFrameRateReachTheCamera() {
    DirectDriver driver;
    SettingsForm->ReadCameraSettings();
    DWORD minimum = 0, maximum = 0;
    QVERIFY(GetExposureMinMax(driver.handle, &minimum, &maximum));
    QCOMPARE(SettingsForm->tbExposure->minimum(), int(minimum));
    QCOMPARE(SettingsForm->tbExposure->maximum(), int(maximum));
    // The top end, and the label's double-click, give the largest value.
    SettingsForm->tbExposure->setValue(int(minimum) + 10);
    QCOMPARE(driver.Read(GetExposure), maximum - minimum - 10);
    QTest::mouseDClick(SettingsForm->lbExposure, Qt::LeftButton);
    QCOMPARE(driver.Read(GetExposure), maximum - minimum);
    double ms = 0;
    GetExposureMs(driver.handle, &ms);
    QCOMPARE(SettingsForm->lbExposure->text(), FormatFloat("%.3f ms", ms));

    // Gain: the negated position, shown as read back.
    for (int position : {-4000, 3500}) {
      SettingsForm->tbGain->setValue(position);
      double db = 0;
      GetGain(driver.handle, &db);
      QVERIFY(std::abs(db - (-position) * 0.006) < 1e-9);
      QCOMPARE(SettingsForm->lbTotalGainValue->text(), FormatFloat("%.3f dB", db));
    }
    QTest::mouseDClick(SettingsForm->lbTotalGainValue, Qt::LeftButton);
    QCOMPARE(SettingsForm->tbGain->value(), 0);

    Type(SettingsForm->edFrameRate, QStringLiteral("25"));
    SettingsForm->btFrameRate->click();
    double fps = 0;
    GetFrameRate(driver.handle, &fps);
    QVERIFY2(std::abs(fps - 25) < 0.5, qPrintable(QString::number(fps)));
    QCOMPARE(SettingsForm->edFrameRate->text(), FormatFloat("%.3f", fps));
    Type(SettingsForm->edFrameRate, QStringLiteral("inf"));
    SettingsForm->btFrameRate->click();
    QCOMPARE(messages_, QStringList{"'inf' is not a valid floating point value"});
  }

  void lookupTablesReachTheCameraOnlyThroughTheirButtons() {
    DirectDriver driver;
    SettingsForm->btMonoDefault->click();
    camera_->ResetRequestCounts();
    // The mono bars drag the colour bars of their row; the colour bars
    // leave the mono bars alone.
    SettingsForm->tbMonoBrightness->setValue(127);
    SettingsForm->tbMonoContrast->setValue(-127);
    SettingsForm->tbMonoGamma->setValue(127);
    for (QSlider* bar : {SettingsForm->tbRedBrightness, SettingsForm->tbGreenBrightness,
                         SettingsForm->tbBlueBrightness})
      QCOMPARE(bar->value(), 127);
    QCOMPARE(SettingsForm->tbBlueContrast->value(), -127);
    SettingsForm->tbGreenGamma->setValue(0);
    QCOMPARE(SettingsForm->tbMonoGamma->value(), 127);
    const QStringList labels = {"lbMonoBrightnessValue|2.00", "lbMonoContrastValue|0.25",
                                "lbMonoGammaValue|3.00", "lbRedContrastValue|0.25",
                                "lbGreenGammaValue|1.00"};
    for (const QString& l : labels)
      QCOMPARE(Control<QLabel>(qPrintable(l.section('|', 0, 0)))->text(), l.section('|', 1));
    QCOMPARE(camera_->RequestCount(QDV_IOCTL_LOOKUP_TABLE), std::uint64_t{0});

    // A predefined table; "Set" returns the choice to "User".
    SettingsForm->rgCvtTable->SetItemIndex(3);
    QCOMPARE(camera_->RequestCount(QDV_IOCTL_LOOKUP_TABLE), std::uint64_t{1});
    SettingsForm->btMonoSet->click();
    QCOMPARE(SettingsForm->rgCvtTable->ItemIndex(), 0);
    std::vector<std::uint16_t> tables = driver.Tables();
    QVERIFY(std::equal(tables.begin(), tables.begin() + QDV_LOOKUP_ENTRIES,
                       BuiltTable(127, -127, 127).begin()));

    // The colour tables in the order red, green, blue.
    SettingsForm->tbRedGamma->setValue(-50);
    SettingsForm->tbBlueBrightness->setValue(20);
    SettingsForm->rgCvtTable->SetItemIndex(2);
    SettingsForm->btRGBSet->click();
    QCOMPARE(SettingsForm->rgCvtTable->ItemIndex(), 0);
    tables = driver.Tables();
    const std::vector<std::uint16_t> expected[3] = {
        BuiltTable(127, -127, -50), BuiltTable(127, -127, 0), BuiltTable(20, -127, 127)};
    for (int c = 0; c < 3; ++c)
      QVERIFY(std::equal(expected[c].begin(), expected[c].end(),
                         tables.begin() + c * QDV_LOOKUP_ENTRIES));

    // Double-clicks reset without a camera call.
    const std::uint64_t requests = camera_->RequestCount(QDV_IOCTL_LOOKUP_TABLE);
    QTest::mouseDClick(Control<QLabel>("lbRedGamma"), Qt::LeftButton);
    QCOMPARE(SettingsForm->tbRedGamma->value(), 0);
    QTest::mouseDClick(SettingsForm->gbMono, Qt::LeftButton);
    for (QSlider* bar : SettingsForm->tsLookupTable->findChildren<QSlider*>())
      QVERIFY(bar->value() == 0 || bar == SettingsForm->tbBlueBrightness);
    QCOMPARE(camera_->RequestCount(QDV_IOCTL_LOOKUP_TABLE), requests);
    SettingsForm->btMonoDefault->click();
    QCOMPARE(SettingsForm->tbBlueBrightness->value(), 0);
  }

  void doubleClickHandlersResetTheirOwnBars() {
    // Each handler, called by its name, resets its own bars and no others: a
    // mono label drags its row's colour bars, the mono group all twelve.
    const struct {
      const char* handler;
      const char* bar;
      int reset;
    } cases[] = {{"lbMonoBrightnessDblClick", "tbMonoBrightness", 4},
                 {"lbMonoContrastDblClick", "tbMonoContrast", 4},
                 {"lbMonoGammaDblClick", "tbMonoGamma", 4},
                 {"lbRedBrightlessDblClick", "tbRedBrightness", 1},
                 {"lbRedContrastDblClick", "tbRedContrast", 1},
                 {"lbRedGammaDblClick", "tbRedGamma", 1},
                 {"lbGreenBrightnessDblClick", "tbGreenBrightness", 1},
                 {"lbGreenContrastDblClick", "tbGreenContrast", 1},
                 {"lbGreenGammaDblClick", "tbGreenGamma", 1},
                 {"lbBlueBrightnessDblClick", "tbBlueBrightness", 1},
                 {"lbBlueContrastDblClick", "tbBlueContrast", 1},
                 {"lbBlueGammaDblClick", "tbBlueGamma", 1},
                 {"gbMonoDblClick", "tbMonoGamma", 12},
                 {"gbRedDblClick", "tbRedGamma", 3},
                 {"gbGreenDblClick", "tbGreenBrightness", 3},
                 {"gbBlueDblClick", "tbBlueContrast", 3}};
    const QList<QSlider*> bars = SettingsForm->tsLookupTable->findChildren<QSlider*>();
    QCOMPARE(bars.size(), 12);
    for (const auto& c : cases) {
      for (QSlider* bar : bars) bar->setValue(5);
      QVERIFY2(QMetaObject::invokeMethod(SettingsForm, c.handler), c.handler);
      QVERIFY2(Control<QSlider>(c.bar)->value() == 0, c.handler);
      const auto reset = std::count_if(bars.begin(), bars.end(),
                                       [](const QSlider* bar) { return bar->value() == 0; });
      QVERIFY2(reset == c.reset, c.handler);
    }
    for (QSlider* bar : bars) bar->setValue(0);
    // The other handlers the dialog's controls are known by.
    for (const char* slot :
         {"tbMonoBrightnessChange()", "tbRedContrastChange()", "tbGreenGammaChange()",
          "tbBlueBrightnessChange()", "tbHueChange()", "tbLightlessChange()",
          "tbSaturationChange()", "gbImageCorrectionDblClick()", "lbHueDblClick()",
          "lbLightlessDblClick()", "lbSaturationDblClick()",
          "cbEnableExternalSyncronizationClick()", "cbOUT1Click()", "cbOUT2Click()",
          "rbHighLevelOUT1Click()", "rbHighLevelOUT2Click()", "rbLowLevelOUT1Click()",
          "rbLowLevelOUT2Click()"})
      QVERIFY2(SettingsForm->metaObject()->indexOfSlot(slot) >= 0, slot);
  }

  void advancedControlsReachTheCamera() {
    DirectDriver driver;
    // Black level: the manual level starts at the camera's own; the top end
    // is the highest level.
    SetBlackLevelValue(driver.handle, 0x42);
    SettingsForm->cbAutoBlackLevel->setChecked(false);
    QVERIFY(SettingsForm->tbBlackLevel->isEnabled());
    QCOMPARE(SettingsForm->tbBlackLevel->value(), 255 - 0x42);
    std::uint8_t kept = 0;
    GetBlackLevelValue(driver.handle, &kept);
    QCOMPARE(int(kept), 0x42);
    QCOMPARE(SettingsForm->lbBlackLevel->text(), FormatFloat("%.3f V", 0x42 * 1.2 / 255 + 0.6));
    for (auto [position, level, text] :
         {std::tuple{0, 255, "1.800 V"}, std::tuple{255, 0, "0.600 V"},
          std::tuple{128, 127, "1.198 V"}}) {
      SettingsForm->tbBlackLevel->setValue(position);
      std::uint8_t value = 0;
      GetBlackLevelValue(driver.handle, &value);
      QCOMPARE(int(value), level);
      QCOMPARE(SettingsForm->lbBlackLevel->text(), QLatin1String(text));
    }
    SettingsForm->cbAutoBlackLevel->setChecked(true);
    QVERIFY(!SettingsForm->tbBlackLevel->isEnabled());

    // Frame wait timeout: seconds, rounded to the nearest millisecond (1.001
    // s is 1000.99999... ms in a double); no more than a minute.
    for (auto [text, ms, shown] :
         {std::tuple{"1.001", 1001u, "1.001"}, std::tuple{"2.5", 2500u, "2.500"}}) {
      Type(SettingsForm->edFrameWaitTimeout, QLatin1String(text));
      SettingsForm->btFrameWaitTimeout->click();
      QCOMPARE(driver.Read(GetFrameWaitTimeout), DWORD{ms});
      QCOMPARE(SettingsForm->edFrameWaitTimeout->text(), QLatin1String(shown));
    }
    for (const char* refused : {"2,5", "nan", "-1", "61"}) {
      Type(SettingsForm->edFrameWaitTimeout, QLatin1String(refused));
      SettingsForm->btFrameWaitTimeout->click();
    }
    QCOMPARE(driver.Read(GetFrameWaitTimeout), DWORD{2500});
    QCOMPARE(messages_.size(), 4);

    SettingsForm->tbColorEnh->setValue(128);
    QCOMPARE(driver.Read(GetColorEnhancement), DWORD{128});
    QCOMPARE(SettingsForm->edColorEnh->text(), QStringLiteral("2.000"));
    QTest::mouseDClick(SettingsForm->gbColorEnhancement, Qt::LeftButton);
    QCOMPARE(SettingsForm->edColorEnh->text(), QStringLiteral("1.000"));

    SettingsForm->rgMedianFilter->SetItemIndex(2);
    QCOMPARE(driver.Read(GetMedianFilterType), DWORD{2});
    // The menu's demosaicing choice moves the radio group and back.
    MainForm->mDebayerLaplacian->trigger();
    QCOMPARE(SettingsForm->rgDebayer->ItemIndex(), 6);
    SettingsForm->rgDebayer->SetItemIndex(4);
    QCOMPARE(AppCommand->Render.DebayerMode, 4);
  }

  void hslCorrectionInHueSaturationLightnessOrder() {
    double hue = -1, saturation = -1, lightness = -1, offset = -1;
    AppCommand->SetHSLCorrection(1, 2, 3);
    GetColorCorrectionHSL(AppCommand->Render.ColorCorrectionObject.get(), &hue, &saturation,
                          &lightness, &offset);
    if (hue != 1) QSKIP("the controller's colour correction is not built yet");
    SettingsForm->tbHue->setValue(-300);
    SettingsForm->tbSaturation->setValue(150);
    SettingsForm->tbLightless->setValue(50);
    GetColorCorrectionHSL(AppCommand->Render.ColorCorrectionObject.get(), &hue, &saturation,
                          &lightness, &offset);
    QCOMPARE(hue, -30.0);
    QCOMPARE(saturation, 1.5);
    QCOMPARE(lightness, 0.5);
    QCOMPARE(SettingsForm->lbHueValue->text() + SettingsForm->lbSaturationValue->text() +
                 SettingsForm->lbLightlessValue->text(),
             QStringLiteral("-30.01.500.50"));
    SettingsForm->btImageCorrectionDefault->click();
    GetColorCorrectionHSL(AppCommand->Render.ColorCorrectionObject.get(), &hue, &saturation,
                          &lightness, &offset);
    QVERIFY(hue == 0 && saturation == 1 && lightness == 1);
  }

  void triggerFlagCombinations() {
    DirectDriver driver;
    AppCommand->SetTrigger(false, false, false, true, false);
    if (driver.Read(GetTriggerControl) != 2)
      QSKIP("the controller's trigger control is not built yet");
    SettingsForm->cbOUT2->setChecked(false);
    SettingsForm->rbLowLevelOUT2->setChecked(true);
    SettingsForm->rbLowLevelOUT1->setChecked(true);
    QCOMPARE(driver.Read(GetTriggerControl), DWORD{2});
    SettingsForm->rbHighLevelOUT1->setChecked(true);
    QCOMPARE(driver.Read(GetTriggerControl), DWORD{10});
    SettingsForm->cbOUT2->setChecked(true);
    QCOMPARE(driver.Read(GetTriggerControl), DWORD{11});
    SettingsForm->SetExternalInputStatus(true, false);
    QVERIFY(SettingsForm->cbExternalInput1Status->isChecked() &&
            !SettingsForm->cbExternalInput2Status->isChecked());
  }

  void statisticsTabFollowsTheTimer() {
    Choose(SettingsForm->cbStatistics, 1);
    QVERIFY(MainForm->tmStatistics->isActive());
    QCOMPARE(MainForm->tmStatistics->interval(), 1000);
    AppCommand->StartVideo();
    QLineEdit* frames = Control<QLineEdit>("eFrameCount");
    QTRY_VERIFY_WITH_TIMEOUT(frames->text().toUInt() > 0, 10000);
    for (const char* edit : {"eInterval", "eSpeedMbytes", "eFPS", "eFPSUser"})
      QVERIFY(Control<QLineEdit>(edit)->text().contains('.'));
    AppCommand->StopVideo();
    Choose(SettingsForm->cbStatistics, 0);
    QVERIFY(!MainForm->tmStatistics->isActive());
  }

  void activationRereadsTheCameraUntilShutDown() {
    {
      DirectDriver driver;
      SetFrequency(driver.handle, 3);
      SetInterPacketGapDelay(driver.handle, 100);
      SetColorEnhancement(driver.handle, 100);
    }
    Activate();
    QCOMPARE(SettingsForm->cbFrequency->currentIndex(), 3);
    QCOMPARE(SettingsForm->tbInterPacketDelay->value(), 100);
    QCOMPARE(SettingsForm->edOutputDataBandwith->text(),
             FormatFloat("%.3f", 1496000 / ((100 + 1550) * 10.66)));
    QCOMPARE(SettingsForm->edColorEnh->text(), QStringLiteral("1.562"));
    // No register sets: "[None]", disabled for the rest of the run.
    QCOMPARE(SettingsForm->cbPresets->currentText(), QStringLiteral("[None]"));
    QVERIFY(!SettingsForm->cbPresets->isEnabled());
    QTest::mouseDClick(SettingsForm->gbInterPacketDelay, Qt::LeftButton);
    QCOMPARE(SettingsForm->edOutputDataBandwith->text(), QStringLiteral("90.540"));

    AppCommand->ShutDown = true;
    camera_->ResetRequestCounts();
    Activate();
    std::uint64_t requests = 0;
    for (DWORD code : AllRequests) requests += camera_->RequestCount(code);
    AppCommand->ShutDown = false;
    QCOMPARE(requests, std::uint64_t{0});
  }

  // The start-up preset stops at its first conversion error (the output
  // mode is missing); the exposure refresh works afterwards all the same.
  void updatingIsClearedWhenTheStartUpLoadStops() {
    QFile file(QStringLiteral("qdv47b5.pre"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Gain=10\r\nExposure=100\r\n");
    file.close();
    TSettingsForm form;
    form.FormCreate();
    QFile::remove(QStringLiteral("qdv47b5.pre"));
    AppCommand->SettingsView = SettingsForm;
    QCOMPARE(messages_, QStringList{"'' is not a valid integer value"});
    QVERIFY(form.StartUpPresetRefused);
    QVERIFY(!form.Updating);
    form.UpdateExposure();
    QVERIFY(form.lbExposure->text() != QStringLiteral("999.999 ms"));
  }

  void cleanupTestCase() {
    delete SettingsForm;
    SettingsForm = nullptr;
    MainForm->close();
    TThread::ShutDownAll();
  }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
