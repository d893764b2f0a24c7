// Every text the camera application's forms show fits its control whole at
// the font in use: every static text of every form and tab as it stands,
// and the widest value of every status panel, histogram panel and edit
// whose text changes. A cut number reads as a smaller one.
#include <QLayout>
#include <QLineEdit>
#include <QSizeGrip>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>

#include "APP/forms/fmAbout.h"
#include "APP/forms/fmHistogramRAW.h"
#include "APP/forms/fmHistogramRGB.h"
#include "APP/forms/fmMain.h"
#include "APP/forms/fmSettings.h"
#include "APP/forms/fmViewPort.h"
#include "APP/tests/test_settings_setup.h"
#include "common/tests/TextFit.h"

class TestTextsFit : public QObject {
  Q_OBJECT

  SettingsApplication application_;

  template <class Form>
  static void Create(Form*& global) {
    global = new Form;
    global->FormCreate();
  }

  static QStringList Walk(QWidget* form) {
    form->show();
    QCoreApplication::processEvents();
    QStringList cut;
    auto* tabs = form->findChild<QTabWidget*>();
    for (int i = 0; i < (tabs != nullptr ? tabs->count() : 1); ++i) {
      if (tabs != nullptr) tabs->setCurrentIndex(i);
      QCoreApplication::processEvents();
      for (const QString& c : textfit::CutTexts(form))
        if (!cut.contains(c)) cut << form->objectName() + QStringLiteral(": ") + c;
    }
    form->hide();
    return cut;
  }

 private slots:
  void initTestCase() {
    application_.Start();
    Create(AboutForm);
    Create(HistogramFormRGB);
    Create(HistogramFormRAW);
    Create(ViewPortForm);
  }

  void staticTextsFitOnEveryForm() {
    AboutForm->InitVersionLabel();  // version, build date, maker and address
    QStringList cut;
    for (QWidget* form : std::initializer_list<QWidget*>{
             MainForm, SettingsForm, AboutForm, HistogramFormRGB, HistogramFormRAW, ViewPortForm})
      cut << Walk(form);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
  }

  void widestValuesFit() {
    QStringList cut;
    // The main window's panels, the last one reaching the window's edge.
    const QStringList panels[] = {
        {"Status: ????", "Status: OK", "Status: FAIL", "2147483647(2147483647) ...", "2147483647"},
        {"SerialNo: ?.?.?.?.?", "SerialNo: -2147483648.65535.65535.65535.65535"},
        {"1234.12 fps", "9999.99 fps", "ESC - STOP", "Stopped"},
        {"Zoom: 25%", "Zoom: 800%"},
        {"CPU load: 100%", "CPU load: ?"},
        {"Speed: 999.99 MB/s"},
        {"Packet lost: 100.00%"}};
    MainForm->show();
    QCoreApplication::processEvents();
    auto* statusBar = MainForm->findChild<QStatusBar*>(QStringLiteral("StatusBar"));
    for (int i = 0; i < TMainForm::PanelCount; ++i) {
      auto* panel = statusBar->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
      for (const QString& text : panels[i]) cut << textfit::CutWhenShown(panel, text);
    }
    // The last panel reaches the size grip.
    auto* last = statusBar->findChild<QLabel*>(QStringLiteral("StatusPanel6"));
    auto* grip = statusBar->findChild<QSizeGrip*>();
    QVERIFY(grip != nullptr);
    QVERIFY2(last->geometry().right() + 8 >= grip->geometry().left(),
             qPrintable(QStringLiteral("panel ends at %1, grip at %2")
                            .arg(last->geometry().right())
                            .arg(grip->geometry().left())));

    // The histogram panels at their widest: the last bin and the whole
    // range of 12-bit samples in the RAW window, narrowed back to 256
    // drawn bins, and of 8-bit values in the RGB window.
    const std::pair<THistogramForm*, QStringList> histograms[] = {
        {HistogramFormRAW, {"Min:4095", "Avg:4095.00", "Max:4095", "Delta:4096", "Avg:2047.50"}},
        {HistogramFormRGB, {"Min:255", "Avg:255.00", "Max:255", "Delta:256", "Avg:127.50"}}};
    HistogramFormRAW->SetBits(8);
    for (const auto& [form, texts] : histograms) {
      form->show();
      QCoreApplication::processEvents();
      for (int i = 0; i < 4; ++i) {
        auto* panel = form->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
        for (const QString& text : texts) {
          if (!text.startsWith(QStringList{"Min:", "Avg:", "Max:", "Delta:"}[i])) continue;
          cut << textfit::CutWhenShown(panel, text);
          // Inside the window: no panel runs past its right edge.
          if (panel->mapTo(form, QPoint(panel->width(), 0)).x() > form->width())
            cut << QStringLiteral("%1 past the window").arg(text);
        }
      }
      form->hide();
    }

    // Edits that show numbers: the frame wait timeout after "Set" and the
    // statistics.
    SettingsForm->show();
    for (int i = 0; i < SettingsForm->pgSettings->count(); ++i) {
      SettingsForm->pgSettings->setCurrentIndex(i);
      QCoreApplication::processEvents();
    }
    cut << textfit::CutWhenShown(SettingsForm->edFrameWaitTimeout, QStringLiteral("60.000"));
    const char* counters[] = {"ePacketCount", "ePacketLost",  "ePacketError",
                              "eFrameCount",  "eFrameResync", "eFrameUser",
                              "eControlSet",  "eControlGet",  "eControlError"};
    for (const char* name : counters)
      cut << textfit::CutWhenShown(SettingsForm->findChild<QLineEdit*>(QLatin1String(name)),
                                   QStringLiteral("4294967295"));
    for (const char* name :
         {"eInterval", "eSpeedMbytes", "eSpeedMbits", "eFPS", "eFPSCalc", "eFPSUser"})
      cut << textfit::CutWhenShown(SettingsForm->findChild<QLineEdit*>(QLatin1String(name)),
                                   QStringLiteral("99999.999"));
    // Value labels and edits the dialog formats, at their widest.
    const std::pair<const char*, const char*> values[] = {
        {"lbExposure", "99999.999 ms"},
        {"lbTotalGainValue", "-99.999 dB"},
        {"lbViewPortValue", "9999x9999 at 9999x9999"},
        {"edFrameRate", "9999.999"},
        {"edOutputDataBandwith", "90.540"},
        {"edColorEnh", "3.984"},
        {"lbBlackLevel", "1.800 V"},
        {"lbHueValue", "-180.0"},
        {"lbLightlessValue", "2.00"},
        {"lbSaturationValue", "4.00"}};
    QStringList names;
    for (const char* colour : {"Mono", "Red", "Green", "Blue"})
      for (const char* row : {"Brightness", "Contrast", "Gamma"})
        names << QStringLiteral("lb%1%2Value").arg(QLatin1String(colour), QLatin1String(row));
    std::size_t pushed = 0;
    for (int i = 0; i < SettingsForm->pgSettings->count(); ++i) {
      SettingsForm->pgSettings->setCurrentIndex(i);
      std::vector<std::pair<QWidget*, QString>> shown;
      auto push = [&](const QString& name, const QString& text) {
        auto* control = SettingsForm->pgSettings->widget(i)->findChild<QWidget*>(name);
        if (control == nullptr) return;
        if (auto* label = qobject_cast<QLabel*>(control)) label->setText(text);
        if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->setText(text);
        shown.emplace_back(control, text);
      };
      for (const auto& [name, text] : values) push(QLatin1String(name), QLatin1String(text));
      for (const QString& name : names) push(name, QStringLiteral("0.25"));
      // The layouts follow the new texts before anything is measured.
      QCoreApplication::processEvents();
      for (const auto& [control, text] : shown) cut << textfit::Cut(control, text);
      pushed += shown.size();
    }
    QCOMPARE(pushed, std::size(values) + 12);
    SettingsForm->hide();
    cut.removeAll(QString());
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
  }
};

QTEST_MAIN(TestTextsFit)
#include "tst_texts_fit.moc"
