// The main window: controls by name with their captions, shortcuts and hints;
// keys, buttons and items forwarding to the controller; shortcuts kept out
// of dialogs; the copy-data socket; the close sequence.
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
#include <QtTest>

#include <cstring>
#include <limits>
#include <vector>

#include "APP/tests/test_render_setup.h"
#include "common/VideoPanel.h"
#include "common/tests/ToolBarPictures.h"

class TestMainWindow : public QObject {
  Q_OBJECT

  std::vector<std::vector<double>> matrices_;

  // Writes the chunks on one connection; returns the u32 answers read back.
  QList<qint32> Exchange(const QList<QByteArray>& chunks, int answers) {
    QLocalSocket socket;
    socket.connectToServer(MainForm->CopyDataName());
    if (!socket.waitForConnected(5000)) return {};
    for (const QByteArray& chunk : chunks) {
      socket.write(chunk);
      socket.flush();
      QCoreApplication::processEvents();
    }
    QByteArray received;
    for (int i = 0; i < 500 && received.size() < 4 * answers; ++i) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      socket.waitForReadyRead(10);
      received += socket.readAll();
    }
    QList<qint32> result;
    for (int i = 0; i + 4 <= received.size(); i += 4)
      result << qFromLittleEndian<qint32>(received.constData() + i);
    return result;
  }

  static QByteArray Message(const QByteArray& payload) {
    char count[4];
    qToLittleEndian(static_cast<quint32>(payload.size()), count);
    return QByteArray(count, 4) + payload;
  }

 private slots:
  void initTestCase() {
    StartLiveVideoApplication();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
    // A name of this process's own: parallel test programs do not meet.
    QVERIFY(MainForm->ListenCopyData(
        QStringLiteral("QDV47B5.CopyData.test.%1").arg(QCoreApplication::applicationPid())));
    MainForm->CorrectionMatrixSink = [this](const double* m) { matrices_.emplace_back(m, m + 12); };
  }

  void controlsCarryTheirNamesCaptionsAndShortcuts() {
    TMainForm form;  // as designed, before FormCreate
    QCOMPARE(form.windowTitle(), QStringLiteral("QDV-47B5 Application"));
    QCOMPARE(form.size(), QSize(974, 711 + form.MainMenu->sizeHint().height()));
    QCOMPARE(form.VideoPanel->Caption(), QStringLiteral("Stopped"));
    QVERIFY(form.VideoScrollBox->widgetResizable());
    // Menu items in menu order: name, caption, shortcut ("-" a separator).
    // clang-format off
    const QStringList file = {"mCopy|&Copy Frame|Ctrl+C", "mSaveFrame|Save &Frame|F2",
                              "mSaveVideo|Save AVI &Video |F3", "LoadPreset1|Load Preset|Ctrl+L",
                              "SavePreset1|Save Preset|Ctrl+M", "mSaveRAWVideo|Save &RAW Video|F4",
                              "mN1|-|", "mExit|E&xit|Alt+X"};
    // clang-format on
    // clang-format off
    const QStringList device = {
        "mStartVideo|Start Video|F5",  "mStopVideo|Stop Video|F6", "mN4|-|",
        "mHistogramRAW|Histogram RAW|Ctrl+H", "mHistogramRGB|Histogram RGB|H", "mN2|-|",
        "mZoomIn|Zoom In|", "mZoomOut|Zoom Out|", "mZoomOriginal|Zoom 100%|", "mN3|-|",
        "mSettings|Settings...|Alt+S", "mN6|-|"};
    // clang-format on
    const QStringList help = {"mHelpIndex|Help|F1", "mN5|-|", "mAbout|About...|Alt+A"};
    // clang-format off
    const QStringList hidden = {
        "mZoomInHidden|Zoom In|", "mZoomOutHidden|Zoom Out|", "mZoomOriginalHidden|Zoom 100%|",
        "mDebayerMono|Debayer:Mono|Alt+0", "mDebayerBayer|Debayer:Bayer|Alt+1",
        "mDebayerNearest|Debayer:Nearest|Alt+2", "mDebayerBin2x2|Debayer:Bin2x2|Alt+3",
        "mDebayerBilinear|Debayer:Bilinear|Alt+4", "mDebayerAdaptive|Debayer:Adaptive|Alt+5",
        "mDebayerLaplacian|Debayer:Laplacian|Alt+6", "mDebayerPreview|Debayer:Preview|Alt+7"};
    // clang-format on
    auto check = [](const QList<QAction*>& actions, const QStringList& items) {
      QCOMPARE(actions.size(), items.size());
      for (int i = 0; i < items.size(); ++i) {
        const QStringList f = items[i].split(QLatin1Char('|'));
        QCOMPARE(actions[i]->objectName(), f[0]);
        QCOMPARE(actions[i]->isSeparator() ? QStringLiteral("-") : actions[i]->text(), f[1]);
        QCOMPARE(actions[i]->shortcut(), QKeySequence(f[2]));
      }
    };
    check(form.mFile->actions(), file);
    check(form.mDevice->actions(), device);
    check(form.mHelp->actions(), help);
    QCOMPARE(form.mFile->title() + form.mDevice->title() + form.mHelp->title(),
             QStringLiteral("&File&Device&Help"));
    QVERIFY(!form.mN6->isVisible());
    // Hidden items are the window's own, in no menu, so that their keys work.
    check(form.actions(), hidden);
    QList<QAction*> zoom = form.ZoomMenu->actions();
    check(zoom, {"mZoom25|25%|", "mZoom33|33%|", "mZoom50|50%|", "mZoom100|100%|", "mZoom200|200%|",
                 "mZoom300|300%|", "mZoom400|400%|"});

    QStringList bar;
    for (QAction* a : form.ToolBar->actions()) {
      QWidget* w = form.ToolBar->widgetForAction(a);
      auto* button = qobject_cast<QToolButton*>(w);
      bar << (a->isSeparator()    ? a->objectName()
              : button != nullptr ? button->objectName() + QLatin1Char('|') + button->toolTip()
                                  : w->objectName());
    }
    QCOMPARE(bar,
             (QStringList{"btRun|Start video", "btStop|Stop video", "btSP1", "btCopy|Copy frame",
                          "btFrameCapture|Save frame", "btVideoCapture|Save AVI video",
                          "btRAWCapture|Save RAW video", "btSP3", "btZoom|Zoom",
                          "btZoomOut|Zoom In", "btZoomIn|Zoom Out", "btSP2",
                          "btHistogramRAW|RAW histogram", "btHistogramRGB|Frame histogram", "btSP4",
                          "btSettings|Settings", "btSP5", "btHelp|Help"}));
    QCOMPARE(form.btZoom->menu(), form.ZoomMenu);
    QCOMPARE(form.ToolBar->height(), 22);

    const int widths[] = {65, 175, 65, 70, 85, 100, 50};
    const QStringList texts = {"Status: ????",        "SerialNo: ?.?.?.?.?", "1234.12 fps",
                               "Zoom: 999%",          "CPU load: 999%",      "Speed: 12.12 Mb/s",
                               "Packet lost: 123.12%"};
    const auto labels =
        form.StatusBar->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(labels.size(), 7);
    for (int i = 0; i < 7; ++i) {
      QCOMPARE(form.Panel(i), texts[i]);
      // The designed width at least; wider where the font needs it, and
      // only the last panel stretches.
      QVERIFY(labels[i]->minimumWidth() >= widths[i]);
      QCOMPARE(labels[i]->maximumWidth() == labels[i]->minimumWidth(), i < 6);
    }
    QCOMPARE(form.tmCPULoad->interval() + form.tmFPS->interval() + form.tmStatistics->interval(),
             3000 + 10000 + 5000);
    QVERIFY(!form.tmCPULoad->isActive() && !form.tmFPS->isActive());
    QVERIFY(MainForm->tmCPULoad->isActive() && !MainForm->tmStatistics->isActive());
  }

  void keysAndButtonsForwardToTheController() {
    // Every demosaicing item sets its own method, by its key and when
    // clicked; every item of the zoom pop-up sets its own step.
    const char* const debayer[] = {"mDebayerMono",      "mDebayerBayer",    "mDebayerNearest",
                                   "mDebayerBin2x2",    "mDebayerBilinear", "mDebayerAdaptive",
                                   "mDebayerLaplacian", "mDebayerPreview"};
    for (int mode = 7; mode >= 0; --mode) {
      QTest::keyClick(MainForm, Qt::Key(Qt::Key_0 + mode), Qt::AltModifier);
      QCOMPARE(AppCommand->Render.DebayerMode, mode);
    }
    for (int mode = 0; mode < 8; ++mode) {
      MainForm->findChild<QAction*>(debayer[mode])->trigger();
      QCOMPARE(AppCommand->Render.DebayerMode, mode);
    }
    const struct {
      const char* item;
      int zoom;
    } zoomItems[] = {{"mZoom25", -4}, {"mZoom33", -3}, {"mZoom50", -2}, {"mZoom100", 1},
                     {"mZoom200", 2}, {"mZoom300", 3}, {"mZoom400", 4}};
    AppCommand->SetZoomPercent(800);
    for (const auto& z : zoomItems) {
      QAction* item = MainForm->findChild<QAction*>(z.item);
      item->trigger();
      QCOMPARE(AppCommand->Render.Zoom, z.zoom);
      QCOMPARE(MainForm->Panel(PanelZoom), QStringLiteral("Zoom: ") + item->text());
    }
    // Both "+" keys zoom in, both "-" keys zoom out, keypad "*" and Shift+8
    // (reported as "*" with Shift) return to 100 %; the tool buttons' names
    // are crossed over. tst_zoom_keys presses the real keys under X.
    struct Step {
      Qt::Key key;
      Qt::KeyboardModifiers modifiers;
      int zoom;
    };
    AppCommand->SetZoomPercent(100);
    for (Step s :
         {Step{Qt::Key_Plus, Qt::KeypadModifier, 2}, Step{Qt::Key_Plus, Qt::ShiftModifier, 3},
          Step{Qt::Key_Minus, Qt::KeypadModifier, 2}, Step{Qt::Key_Minus, {}, 1},
          Step{Qt::Key_Minus, {}, -2}, Step{Qt::Key_Asterisk, Qt::KeypadModifier, 1},
          Step{Qt::Key_Plus, Qt::KeypadModifier, 2},
          Step{Qt::Key_Asterisk, Qt::ShiftModifier, 1}}) {
      QTest::keyClick(MainForm, s.key, s.modifiers);
      QCOMPARE(AppCommand->Render.Zoom, s.zoom);
    }
    MainForm->btZoomOut->click();
    QCOMPARE(AppCommand->Render.Zoom, 2);
    MainForm->btZoomIn->click();
    MainForm->btZoomIn->click();
    QCOMPARE(AppCommand->Render.Zoom, -2);
    MainForm->btZoom->click();
    QCOMPARE(AppCommand->Render.Zoom, 1);

    QTest::keyClick(MainForm, Qt::Key_H);
    QVERIFY(AppCommand->Render.RGBHistogramOn && !AppCommand->Render.RAWHistogramOn);
    QTest::keyClick(MainForm, Qt::Key_H, Qt::ControlModifier);
    QVERIFY(AppCommand->Render.RAWHistogramOn);
    AppCommand->Render.RGBHistogramOn = AppCommand->Render.RAWHistogramOn = false;

    // Esc: nothing while stopped; ends a capture loop first, then live video.
    QTest::keyClick(MainForm, Qt::Key_Escape);
    QVERIFY(!AppCommand->Running);
    MainForm->btRun->click();
    QVERIFY(AppCommand->Running && MainForm->tmFPS->isActive());
    QVERIFY(!MainForm->VideoScrollBox->widgetResizable());
    AppCommand->Captures.CaptureRunning = true;
    QTest::keyClick(MainForm, Qt::Key_Escape);
    QVERIFY(AppCommand->Running && !AppCommand->Captures.CaptureRunning);
    QTest::keyClick(MainForm, Qt::Key_Escape);
    QVERIFY(!AppCommand->Running && !MainForm->tmFPS->isActive());
    QVERIFY(MainForm->VideoScrollBox->widgetResizable());
    QCOMPARE(MainForm->Panel(PanelFPS), QStringLiteral("Stopped"));
    QCoreApplication::processEvents();
    QVERIFY(!MainForm->VideoPanel->HasPicture());
  }

  void shortcutsDoNotReachDialogEditBoxes() {
    QDialog dialog(MainForm);
    auto* edit = new QLineEdit(&dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // The headless platform has no window manager to move the activation.
    QApplication::setActiveWindow(&dialog);
    QTRY_COMPARE(QApplication::activeWindow(), &dialog);
    edit->setFocus();
    AppCommand->SetZoomPercent(100);
    AppCommand->SetDebayerMode(1);
    QTest::keyClick(edit, Qt::Key_Plus, Qt::ShiftModifier);
    QTest::keyClicks(edit, QStringLiteral("h-*"));
    QTest::keyClick(edit, Qt::Key_Plus, Qt::KeypadModifier);
    QTest::keyClick(edit, Qt::Key_5, Qt::AltModifier);
    QVERIFY(AppCommand->Render.Zoom == 1 && AppCommand->Render.DebayerMode == 1 &&
            !AppCommand->Render.RGBHistogramOn);
    QVERIFY(edit->text().startsWith(QStringLiteral("+h-*+")));
    dialog.hide();
    QApplication::setActiveWindow(MainForm);
    QTRY_COMPARE(QApplication::activeWindow(), MainForm);
  }

  void toolButtonsCanBeToldApartAndRead() {
    // The capital letters of the words "AVI" and "RAW": 7 pixels, where a
    // word squeezed into the square was 5.
    const QString problem = ToolBarPicturesProblem(
        *MainForm->ToolBar, {QStringLiteral("btVideoCapture"), QStringLiteral("btRAWCapture")}, 7);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
  }

  void resizeCentresThePanel() {
    std::vector<std::uint8_t> frame(200 * 100, 100);
    MainForm->SetVideoPanelFill(false);
    QVERIFY(AppCommand->RenderFrame(1, frame.data(), 200 * 100, 200, 100, 1));
    MainForm->resize(800, 600);
    QCoreApplication::processEvents();
    const QSize client = MainForm->VideoScrollBox->viewport()->size();
    const QPoint centre((client.width() - 200) / 2, (client.height() - 100) / 2);
    QCOMPARE(MainForm->VideoPanel->pos(), centre);
    MainForm->VideoPanel->move(0, 0);
    MainForm->FormResize();
    QCOMPARE(MainForm->VideoPanel->pos(), centre);
    MainForm->SetVideoPanelFill(true);
  }

  void copyDataMessagesAreAnsweredWith2006() {
    const double matrix[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0.5, -2, 3};
    const QByteArray m96(reinterpret_cast<const char*>(matrix), 96);
    // 95 and 97 bytes (and none) change nothing; every message is answered.
    for (const QByteArray& payload : {m96.left(95), m96 + 'x', QByteArray(), m96})
      QCOMPARE(Exchange({Message(payload)}, 1), QList<qint32>{2006});
    QCOMPARE(matrices_, (std::vector<std::vector<double>>{{matrix, matrix + 12}}));
    // A matrix that is not finite is refused.
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), -HUGE_VAL}) {
      QByteArray b = m96;
      std::memcpy(b.data() + 32, &bad, 8);
      QCOMPARE(Exchange({Message(b)}, 1), QList<qint32>{2006});
    }
    QCOMPARE(matrices_.size(), std::size_t{1});
    // Split across writes and several in one write; a long one is read
    // through without being kept.
    const QByteArray whole = Message(m96);
    QCOMPARE(Exchange({whole.left(3), whole.mid(3, 50),
                       whole.mid(53) + Message(QByteArray(100000, 'z')) + whole},
                      3),
             (QList<qint32>{2006, 2006, 2006}));
    QCOMPARE(matrices_.size(), std::size_t{3});
    QCOMPARE(MainForm->WMCopyData(96, nullptr), 2006);
    QCOMPARE(matrices_.size(), std::size_t{3});
  }

  // Last: closing the window ends the controller.
  void closeRunsTheShutDownSequence() {
    MainForm->close();
    QVERIFY(!MainForm->tmCPULoad->isActive());
    QVERIFY(AppCommand->Render.ColorCorrectionObject == nullptr);
    QVERIFY(FrameThread->Terminated());
  }

  void cleanupTestCase() { TThread::ShutDownAll(); }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main.moc"
