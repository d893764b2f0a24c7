// The camera application's dialogs as the program creates them: the first
// activation of the settings dialog sends the camera no exposure it did not
// already have, no dialog has a default button, and Esc leaves the settings
// and region dialogs shown while it closes a histogram window through its
// close handler (its feed stops). The same under a window manager with real
// keys: tst_windows_under_x.
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include "APP/control/Commands.h"
#include "APP/forms/fmAbout.h"
#include "APP/forms/fmHistogramRAW.h"
#include "APP/forms/fmHistogramRGB.h"
#include "APP/forms/fmViewPort.h"
#include "APP/tests/test_settings_setup.h"
#include "SensorMath.h"

namespace {

template <class Form>
void Create(Form*& global) {
  global = new Form();
  global->FormCreate();
}

}  // namespace

class TestDialogKeys : public QObject {
  Q_OBJECT

  SettingsApplication app_;
  simcam::SimCamera* camera_ = nullptr;

 private slots:
  void initTestCase() {
    camera_ = &app_.Start();
    Create(AboutForm);
    Create(HistogramFormRGB);
    Create(HistogramFormRAW);
    Create(ViewPortForm);
  }

  // Runs first: the settings dialog has not been activated yet.
  void firstActivationSendsOnlyTheCamerasOwnExposure() {
    const DirectDriver driver;
    DWORD minimum = 0, maximum = 0;
    QVERIFY(GetExposureMinMax(driver.handle, &minimum, &maximum));
    const DWORD exposure = driver.Read(GetExposure);
    // The design range (0 ... 1920, position 1920) lies outside the camera's.
    QVERIFY(maximum < 1920);
    camera_->ResetRequestCounts();

    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(SettingsForm, &activate);

    QCOMPARE(SettingsForm->tbExposure->maximum(), int(maximum));
    const std::uint16_t own = SensorMath::ExposureWord(maximum, exposure);
    int exposureWrites = 0;
    for (std::uint16_t word : camera_->SensorRegisterWrites()) {
      if ((word & 0xF800) != SensorMath::kExposureSelect) continue;
      ++exposureWrites;
      QCOMPARE(word, own);
    }
    QVERIFY(exposureWrites <= 1);
    QCOMPARE(driver.Read(GetExposure), exposure);
  }

  void noDialogHasADefaultButton() {
    int dialogs = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QDialog*>(window);
      if (dialog == nullptr) continue;
      ++dialogs;
      for (QPushButton* button : dialog->findChildren<QPushButton*>())
        QVERIFY2(!button->autoDefault() && !button->isDefault(),
                 qPrintable(dialog->objectName() + '.' + button->objectName()));
    }
    // Settings, about, two histograms, region.
    QCOMPARE(dialogs, 5);
  }

  void escapeClosesOnlyThroughTheCloseHandler() {
    struct Row {
      QDialog* form;
      bool* feed;  // the controller's flag that feeds the window, if any
      bool shownAfterEsc;
    };
    const Row rows[] = {{SettingsForm, nullptr, true},
                        {ViewPortForm, nullptr, true},
                        {HistogramFormRGB, &AppCommand->Render.RGBHistogramOn, false},
                        {HistogramFormRAW, &AppCommand->Render.RAWHistogramOn, false}};
    AppCommand->ShowHistogramRGB(true);
    AppCommand->ShowHistogramRAW(true);
    for (const Row& row : rows) {
      row.form->show();
      QTest::keyClick(row.form, Qt::Key_Escape);
      QVERIFY2(row.form->isVisible() == row.shownAfterEsc, qPrintable(row.form->objectName()));
      if (row.feed != nullptr) QVERIFY2(!*row.feed, qPrintable(row.form->objectName()));
    }
  }
};

QTEST_MAIN(TestDialogKeys)
#include "tst_dialog_keys.moc"
