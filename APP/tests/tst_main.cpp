// The main window: its controls and their names, captions, shortcuts and
// hints; keys, tool buttons and menu items forwarding to the controller; the
// copy-data socket of the colour-correction tool; the close sequence.
#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "Commands.h"
#include "VideoPanel.h"
#include "fmMain.h"
#include "test_render_setup.h"

namespace {

struct ItemDesign {
  const char* name;
  const char* caption;
  QKeySequence shortcut;
};

QStringList Names(const QList<QAction*>& actions) {
  QStringList names;
  for (QAction* a : actions) names << a->objectName();
  return names;
}

// A little-endian u32 byte count, then the bytes.
QByteArray CopyDataMessage(const QByteArray& payload) {
  QByteArray message(4, '\0');
  const auto n = static_cast<quint32>(payload.size());
  for (int i = 0; i < 4; ++i) message[i] = static_cast<char>((n >> (8 * i)) & 0xff);
  return message + payload;
}

QByteArray MatrixBytes(const double (&m)[12]) {
  return QByteArray(reinterpret_cast<const char*>(m), sizeof m);
}

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT

 private:
  // Sends messages and returns the answers read back (one u32 per message).
  QList<qint32> Exchange(const QList<QByteArray>& writes, int answers) {
    QLocalSocket socket;
    socket.connectToServer(MainForm->CopyDataName());
    if (!socket.waitForConnected(5000)) return {};
    for (const QByteArray& w : writes) {
      socket.write(w);
      socket.flush();
      QCoreApplication::processEvents();
    }
    QList<qint32> result;
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    while (received.size() < 4 * answers && clock.elapsed() < 5000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      socket.waitForReadyRead(10);
      received += socket.readAll();
    }
    for (int i = 0; i + 4 <= received.size(); i += 4) {
      qint32 v;
      std::memcpy(&v, received.constData() + i, 4);
      result << qFromLittleEndian(v);
    }
    return result;
  }

  std::vector<std::vector<double>> matrices_;

 private slots:
  void initTestCase() {
    StartLiveVideoApplication();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    // A name of this process's own, so that parallel test programs do not
    // answer each other.
    QVERIFY(MainForm->ListenCopyData(
        QStringLiteral("QDV47B5.CopyData.test.%1").arg(QCoreApplication::applicationPid())));
    MainForm->CorrectionMatrixSink = [this](const double* m) {
      matrices_.emplace_back(m, m + 12);
    };
  }

  void designedWindow() {
    TMainForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("QDV-47B5 Application"));
    QCOMPARE(form.width(), 974);
    QCOMPARE(form.height(), 711 + form.MainMenu->sizeHint().height());
    QCOMPARE(form.VideoPanel->objectName(), QStringLiteral("VideoPanel"));
    QCOMPARE(form.VideoPanel->Caption(), QStringLiteral("Stopped"));
    QCOMPARE(form.VideoPanel->parentWidget()->parentWidget(), form.VideoScrollBox);
    QVERIFY(form.VideoScrollBox->widgetResizable());
    QCOMPARE(form.centralWidget(), form.VideoScrollBox);

    const int widths[] = {65, 175, 65, 70, 85, 100, 50};
    const char* texts[] = {"Status: ????",   "SerialNo: ?.?.?.?.?", "1234.12 fps",
                           "Zoom: 999%",     "CPU load: 999%",      "Speed: 12.12 Mb/s",
                           "Packet lost: 123.12%"};
    const QList<QLabel*> labels =
        form.StatusBar->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(labels.size(), 7);
    for (int i = 0; i < 7; ++i) {
      QCOMPARE(form.Panel(i), QString::fromLatin1(texts[i]));
      QCOMPARE(labels[i]->minimumWidth(), widths[i]);
    }
    QCOMPARE(form.Panel(7), QString());
    form.SetPanel(-1, QStringLiteral("x"));  // ignored

    QCOMPARE(form.tmCPULoad->interval(), 3000);
    QCOMPARE(form.tmFPS->interval(), 10000);
    QCOMPARE(form.tmStatistics->interval(), 5000);
    QVERIFY(!form.tmCPULoad->isActive());  // on from FormCreate
    QVERIFY(!form.tmFPS->isActive());
    QVERIFY(!form.tmStatistics->isActive());
    for (const char* name : {"tmCPULoad", "tmFPS", "tmStatistics", "MainMenu", "ToolBar",
                             "StatusBar", "VideoScrollBox", "ZoomMenu", "mFile", "mDevice",
                             "mHelp"})
      QVERIFY2(form.findChild<QObject*>(QString::fromLatin1(name)) != nullptr, name);
  }

  void menus() {
    TMainForm form;
    QCOMPARE(Names(form.MainMenu->actions()),
             (QStringList{QString(), QString(), QString()}));  // the menus' own actions
    QCOMPARE(form.mFile->title(), QStringLiteral("&File"));
    QCOMPARE(form.mDevice->title(), QStringLiteral("&Device"));
    QCOMPARE(form.mHelp->title(), QStringLiteral("&Help"));

    const ItemDesign file[] = {
        {"mCopy", "&Copy Frame", QKeySequence(Qt::CTRL | Qt::Key_C)},
        {"mSaveFrame", "Save &Frame", QKeySequence(Qt::Key_F2)},
        {"mSaveVideo", "Save AVI &Video ", QKeySequence(Qt::Key_F3)},
        {"LoadPreset1", "Load Preset", QKeySequence(Qt::CTRL | Qt::Key_L)},
        {"SavePreset1", "Save Preset", QKeySequence(Qt::CTRL | Qt::Key_M)},
        {"mSaveRAWVideo", "Save &RAW Video", QKeySequence(Qt::Key_F4)},
        {"mN1", "", QKeySequence()},
        {"mExit", "E&xit", QKeySequence(Qt::ALT | Qt::Key_X)}};
    const ItemDesign device[] = {
        {"mStartVideo", "Start Video", QKeySequence(Qt::Key_F5)},
        {"mStopVideo", "Stop Video", QKeySequence(Qt::Key_F6)},
        {"mN4", "", QKeySequence()},
        {"mHistogramRAW", "Histogram RAW", QKeySequence(Qt::CTRL | Qt::Key_H)},
        {"mHistogramRGB", "Histogram RGB", QKeySequence(Qt::Key_H)},
        {"mN2", "", QKeySequence()},
        {"mZoomIn", "Zoom In", QKeySequence()},
        {"mZoomOut", "Zoom Out", QKeySequence()},
        {"mZoomOriginal", "Zoom 100%", QKeySequence()},
        {"mN3", "", QKeySequence()},
        {"mSettings", "Settings...", QKeySequence(Qt::ALT | Qt::Key_S)},
        {"mN6", "", QKeySequence()}};
    const ItemDesign help[] = {{"mHelpIndex", "Help", QKeySequence(Qt::Key_F1)},
                               {"mN5", "", QKeySequence()},
                               {"mAbout", "About...", QKeySequence(Qt::ALT | Qt::Key_A)}};
    auto check = [](QMenu* menu, const ItemDesign* items, int count) {
      const QList<QAction*> actions = menu->actions();
      QCOMPARE(actions.size(), count);
      for (int i = 0; i < count; ++i) {
        QCOMPARE(actions[i]->objectName(), QString::fromLatin1(items[i].name));
        if (*items[i].caption != '\0') {
          QCOMPARE(actions[i]->text(), QString::fromLatin1(items[i].caption));
        } else {
          QVERIFY(actions[i]->isSeparator());
        }
        QCOMPARE(actions[i]->shortcut(), items[i].shortcut);
      }
    };
    check(form.mFile, file, 8);
    check(form.mDevice, device, 12);
    check(form.mHelp, help, 3);
    QVERIFY(!form.mN6->isVisible());

    // Hidden items: kept out of the menus, owned by the window so that their
    // shortcuts work.
    const char* hiddenNames[] = {"mZoomInHidden",    "mZoomOutHidden",    "mZoomOriginalHidden",
                                 "mDebayerMono",     "mDebayerBayer",     "mDebayerNearest",
                                 "mDebayerBin2x2",   "mDebayerBilinear",  "mDebayerAdaptive",
                                 "mDebayerLaplacian", "mDebayerPreview"};
    for (const char* name : hiddenNames) {
      auto* action = form.findChild<QAction*>(QString::fromLatin1(name));
      QVERIFY2(action != nullptr, name);
      QVERIFY2(form.actions().contains(action), name);
      QVERIFY2(!form.mDevice->actions().contains(action), name);
    }
    const char* debayerCaptions[] = {"Debayer:Mono",     "Debayer:Bayer",    "Debayer:Nearest",
                                     "Debayer:Bin2x2",   "Debayer:Bilinear", "Debayer:Adaptive",
                                     "Debayer:Laplacian", "Debayer:Preview"};
    for (int i = 0; i < 8; ++i) {
      auto* action = form.findChild<QAction*>(QString::fromLatin1(hiddenNames[3 + i]));
      QCOMPARE(action->text(), QString::fromLatin1(debayerCaptions[i]));
      QCOMPARE(action->shortcut(), QKeySequence(Qt::ALT | Qt::Key(Qt::Key_0 + i)));
    }
    QCOMPARE(form.mZoomInHidden->text(), QStringLiteral("Zoom In"));
    QCOMPARE(form.mZoomOutHidden->text(), QStringLiteral("Zoom Out"));
    QCOMPARE(form.mZoomOriginalHidden->text(), QStringLiteral("Zoom 100%"));
    // The zoom shortcuts come with FormCreate.
    QVERIFY(form.mZoomIn->shortcut().isEmpty());
    QCOMPARE(MainForm->mZoomIn->shortcut(), QKeySequence(Qt::KeypadModifier | Qt::Key_Plus));
    QCOMPARE(MainForm->mZoomOut->shortcut(), QKeySequence(Qt::KeypadModifier | Qt::Key_Minus));
    QCOMPARE(MainForm->mZoomOriginal->shortcut(),
             QKeySequence(Qt::KeypadModifier | Qt::Key_Asterisk));
    QCOMPARE(MainForm->mZoomOutHidden->shortcut(), QKeySequence(Qt::Key_Minus));

    QCOMPARE(Names(form.ZoomMenu->actions()),
             (QStringList{"mZoom25", "mZoom33", "mZoom50", "mZoom100", "mZoom200", "mZoom300",
                          "mZoom400"}));
    QStringList captions;
    for (QAction* a : form.ZoomMenu->actions()) captions << a->text();
    QCOMPARE(captions,
             (QStringList{"25%", "33%", "50%", "100%", "200%", "300%", "400%"}));
  }

  void toolBar() {
    TMainForm form;
    QCOMPARE(form.ToolBar->height(), 22);
    QStringList names, hints;
    for (QAction* a : form.ToolBar->actions()) {
      QWidget* w = form.ToolBar->widgetForAction(a);
      names << (a->isSeparator() ? a->objectName() : w->objectName());
      auto* button = qobject_cast<QToolButton*>(w);
      hints << (button != nullptr ? button->toolTip() : QString());
    }
    QCOMPARE(names, (QStringList{"btRun", "btStop", "btSP1", "btCopy", "btFrameCapture",
                                 "btVideoCapture", "btRAWCapture", "btSP3", "btZoom", "btZoomOut",
                                 "btZoomIn", "btSP2", "btHistogramRAW", "btHistogramRGB", "btSP4",
                                 "btSettings", "btSP5", "btHelp"}));
    QCOMPARE(hints, (QStringList{"Start video", "Stop video", "", "Copy frame", "Save frame",
                                 "Save AVI video", "Save RAW video", "", "Zoom", "Zoom In",
                                 "Zoom Out", "", "RAW histogram", "Frame histogram", "",
                                 "Settings", "", "Help"}));
    QCOMPARE(form.btZoom->menu(), form.ZoomMenu);
    QCOMPARE(form.btZoom->popupMode(), QToolButton::MenuButtonPopup);
    QCOMPARE(form.ImageList.size(), 13);
  }

  void toolButtonsAndZoomMenu() {
    AppCommand->SetZoomPercent(100);
    MainForm->btZoomOut->click();  // the crossed-over names: this one zooms in
    QCOMPARE(AppCommand->Zoom, 2);
    MainForm->btZoomIn->click();
    MainForm->btZoomIn->click();
    QCOMPARE(AppCommand->Zoom, -2);
    MainForm->btZoom->click();
    QCOMPARE(AppCommand->Zoom, 1);
    const int codes[] = {-4, -3, -2, 1, 2, 3, 4};
    for (int i = 0; i < 7; ++i) {
      AppCommand->SetZoom(5);
      MainForm->ZoomMenu->actions()[i]->trigger();
      QCOMPARE(AppCommand->Zoom, codes[i]);
    }
    QCOMPARE(MainForm->Panel(PanelZoom), QStringLiteral("Zoom: 400%"));

    MainForm->btRun->click();
    QVERIFY(AppCommand->Running);
    QVERIFY(!MainForm->VideoScrollBox->widgetResizable());
    QVERIFY(MainForm->tmFPS->isActive());
    MainForm->btStop->click();
    QVERIFY(!AppCommand->Running);
    QVERIFY(MainForm->VideoScrollBox->widgetResizable());
    QVERIFY(!MainForm->tmFPS->isActive());
    QCOMPARE(MainForm->Panel(PanelFPS), QStringLiteral("Stopped"));
    QCoreApplication::processEvents();
    QVERIFY(!MainForm->VideoPanel->HasPicture());
    QVERIFY(MainForm->tmCPULoad->isActive());
  }

  void debayerKeys() {
    for (int mode = 7; mode >= 0; --mode) {
      QTest::keyClick(MainForm, Qt::Key(Qt::Key_0 + mode), Qt::AltModifier);
      QCOMPARE(AppCommand->DebayerMode, mode);
    }
    QTest::keyClick(MainForm, Qt::Key_3, Qt::AltModifier);
    QCOMPARE(AppCommand->DebayerMode, 3);
  }

  void zoomKeys() {
    AppCommand->SetZoomPercent(100);
    QTest::keyClick(MainForm, Qt::Key_Plus, Qt::KeypadModifier);
    QCOMPARE(AppCommand->Zoom, 2);
    QTest::keyClick(MainForm, Qt::Key_Plus, Qt::ShiftModifier);
    QCOMPARE(AppCommand->Zoom, 3);
    QCOMPARE(MainForm->Panel(PanelZoom), QStringLiteral("Zoom: 300%"));
    QTest::keyClick(MainForm, Qt::Key_Minus, Qt::KeypadModifier);
    QCOMPARE(AppCommand->Zoom, 2);
    QTest::keyClick(MainForm, Qt::Key_Minus);
    QCOMPARE(AppCommand->Zoom, 1);
    QTest::keyClick(MainForm, Qt::Key_Minus);
    QCOMPARE(AppCommand->Zoom, -2);
    QTest::keyClick(MainForm, Qt::Key_Asterisk, Qt::KeypadModifier);
    QCOMPARE(AppCommand->Zoom, 1);
    AppCommand->SetZoomPercent(400);
    QTest::keyClick(MainForm, Qt::Key_8, Qt::ShiftModifier);
    QCOMPARE(AppCommand->Zoom, 1);
    AppCommand->SetZoomPercent(400);
    QTest::keyClick(MainForm, Qt::Key_Asterisk, Qt::ShiftModifier);
    QCOMPARE(AppCommand->Zoom, 1);
  }

  void histogramKeys() {
    AppCommand->RGBHistogramOn = false;
    AppCommand->RAWHistogramOn = false;
    QTest::keyClick(MainForm, Qt::Key_H);
    QVERIFY(AppCommand->RGBHistogramOn);
    QVERIFY(!AppCommand->RAWHistogramOn);
    QTest::keyClick(MainForm, Qt::Key_H, Qt::ControlModifier);
    QVERIFY(AppCommand->RAWHistogramOn);
    // Neither item hides a window that is already shown.
    QTest::keyClick(MainForm, Qt::Key_H);
    QVERIFY(AppCommand->RGBHistogramOn);
    AppCommand->RGBHistogramOn = false;
    AppCommand->RAWHistogramOn = false;
  }

  void escapeStopsVideoOnly() {
    // Stopped: nothing changes.
    const QString fps = MainForm->Panel(PanelFPS);
    QTest::keyClick(MainForm, Qt::Key_Escape);
    QVERIFY(!AppCommand->Running);
    QCOMPARE(MainForm->Panel(PanelFPS), fps);
    // A capture loop is ended, live video goes on.
    QTest::keyClick(MainForm, Qt::Key_F5);
    QVERIFY(AppCommand->Running);
    AppCommand->CaptureRunning = true;
    QTest::keyClick(MainForm, Qt::Key_Escape);
    QVERIFY(!AppCommand->CaptureRunning);
    QVERIFY(AppCommand->Running);
    QTest::keyClick(MainForm, Qt::Key_Escape);
    QVERIFY(!AppCommand->Running);
    QCoreApplication::processEvents();
  }

  void shortcutsDoNotReachDialogEditBoxes() {
    QDialog dialog(MainForm);
    auto* edit = new QLineEdit(&dialog);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(edit);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // The headless platform has no window manager to move the activation.
    QApplication::setActiveWindow(&dialog);
    QTRY_COMPARE(QApplication::activeWindow(), &dialog);
    edit->setFocus();
    AppCommand->SetZoomPercent(100);
    AppCommand->SetDebayerMode(1);
    QTest::keyClick(edit, Qt::Key_Plus, Qt::ShiftModifier, 0);
    QTest::keyClicks(edit, QStringLiteral("h-*"));
    QTest::keyClick(edit, Qt::Key_Plus, Qt::KeypadModifier);
    QTest::keyClick(edit, Qt::Key_5, Qt::AltModifier);
    QCOMPARE(AppCommand->Zoom, 1);
    QCOMPARE(AppCommand->DebayerMode, 1);
    QVERIFY(!AppCommand->RGBHistogramOn);
    QVERIFY(edit->text().startsWith(QStringLiteral("+h-*+")));
    dialog.hide();
    QApplication::setActiveWindow(MainForm);
    QTRY_COMPARE(QApplication::activeWindow(), MainForm);
  }

  void resizeCentresThePanel() {
    std::vector<std::uint8_t> frame(200 * 100, 100);
    AppCommand->SetZoomPercent(100);
    MainForm->SetVideoPanelFill(false);
    QVERIFY(AppCommand->RenderFrame(1, frame.data(), 200 * 100, 200, 100, 1));
    MainForm->resize(800, 600);
    QCoreApplication::processEvents();
    const QSize client = MainForm->VideoScrollBox->viewport()->size();
    QCOMPARE(MainForm->VideoPanel->pos(),
             QPoint((client.width() - 200) / 2, (client.height() - 100) / 2));
    MainForm->VideoPanel->move(0, 0);
    MainForm->FormResize();
    QCOMPARE(MainForm->VideoPanel->pos(),
             QPoint((client.width() - 200) / 2, (client.height() - 100) / 2));
    MainForm->SetVideoPanelFill(true);
  }

  void copyDataMessages() {
    matrices_.clear();
    const double matrix[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0.5, -2, 3};
    const QByteArray bytes96 = MatrixBytes(matrix);
    // 95 and 97 bytes change nothing; every message is answered with 2006.
    QCOMPARE(Exchange({CopyDataMessage(bytes96.left(95))}, 1), QList<qint32>{2006});
    QCOMPARE(Exchange({CopyDataMessage(bytes96 + 'x')}, 1), QList<qint32>{2006});
    QCOMPARE(Exchange({CopyDataMessage(QByteArray())}, 1), QList<qint32>{2006});
    QVERIFY(matrices_.empty());
    QCOMPARE(Exchange({CopyDataMessage(bytes96)}, 1), QList<qint32>{2006});
    QCOMPARE(matrices_.size(), std::size_t{1});
    QCOMPARE(matrices_[0], std::vector<double>(matrix, matrix + 12));

    // A matrix that is not finite is refused.
    double bad[12];
    std::memcpy(bad, matrix, sizeof bad);
    bad[4] = std::numeric_limits<double>::quiet_NaN();
    QCOMPARE(Exchange({CopyDataMessage(MatrixBytes(bad))}, 1), QList<qint32>{2006});
    bad[4] = std::numeric_limits<double>::infinity();
    QCOMPARE(Exchange({CopyDataMessage(MatrixBytes(bad))}, 1), QList<qint32>{2006});
    QCOMPARE(matrices_.size(), std::size_t{1});

    // Messages split across writes, and several in one write, on one
    // connection; a long message is read through without being kept.
    const QByteArray whole = CopyDataMessage(bytes96);
    QByteArray big = CopyDataMessage(QByteArray(100000, 'z'));
    QCOMPARE(Exchange({whole.left(3), whole.mid(3, 50), whole.mid(53) + big + whole}, 3),
             (QList<qint32>{2006, 2006, 2006}));
    QCOMPARE(matrices_.size(), std::size_t{3});

    // The handler itself.
    QCOMPARE(MainForm->WMCopyData(96, nullptr), 2006);
    QCOMPARE(MainForm->WMCopyData(96, matrix), 2006);
    QCOMPARE(matrices_.size(), std::size_t{4});
  }

  // Last: closing the window ends the controller.
  void closeRunsTheShutDownSequence() {
    QVERIFY(MainForm->tmCPULoad->isActive());
    QVERIFY(AppCommand->ColorCorrectionObject != nullptr);
    MainForm->close();
    QVERIFY(!MainForm->tmCPULoad->isActive());
    QVERIFY(AppCommand->ColorCorrectionObject == nullptr);
    QVERIFY(FrameThread->Terminated());
  }

  void cleanupTestCase() { TThread::ShutDownAll(); }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main.moc"
