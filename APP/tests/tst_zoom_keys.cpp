// The six zoom keys pressed as a user presses them: the main window runs
// under a virtual X server and xdotool types each key through the X server's
// test extension, so the key events carry what a real keyboard gives (Shift+=
// arrives as "+" with Shift, Shift+8 as "*" with Shift). Synthetic Qt key
// events do not show shortcuts that match one key press more than once, which
// makes Qt run none of them.
//
// Called with --in-x, this executable is the program under the X server: it
// shows the main window, presses the keys and prints one line per key with
// the zoom code it reached.
#include <QApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

#include "APP/tests/test_render_setup.h"
#include "common/tests/UnderX.h"

namespace {

struct KeyStep {
  const char* keys;  // xdotool key names
  int zoom;          // the zoom code expected after the press
};
// From 100 %: keypad plus, Shift + main plus, keypad minus, main minus twice,
// keypad multiply, keypad plus, Shift+8.
constexpr KeyStep KeySteps[] = {{"KP_Add", 2}, {"shift+equal", 3}, {"KP_Subtract", 2},
                                {"minus", 1},  {"minus", -2},      {"KP_Multiply", 1},
                                {"KP_Add", 2}, {"shift+8", 1}};

// Processes events until the zoom code is `zoom`, then a little longer to see
// that one press does not act twice.
int WaitForZoom(int zoom) {
  QDeadlineTimer deadline(5000);
  while (!deadline.hasExpired() && AppCommand->Render.Zoom != zoom)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QDeadlineTimer settle(300);
  while (!settle.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return AppCommand->Render.Zoom;
}

int RunInX(int argc, char** argv) {
  QApplication application(argc, argv);
  QTemporaryDir folder;  // the closing preset save lands there
  QDir::setCurrent(folder.path());
  StartLiveVideoApplication();
  MainForm->activateWindow();
  if (!QTest::qWaitForWindowActive(MainForm, 10000)) {
    std::puts("window-not-active");
    return 1;
  }
  AppCommand->SetZoomPercent(100);
  for (const KeyStep& step : KeySteps) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("key"), QString::fromLatin1(step.keys)});
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && !xdotool.waitForFinished(20))
      QCoreApplication::processEvents();
    std::printf("%s %d\n", step.keys, WaitForZoom(step.zoom));
    std::fflush(stdout);
  }
  MainForm->close();
  TThread::ShutDownAll();
  return 0;
}

}  // namespace

class TestZoomKeys : public QObject {
  Q_OBJECT

 private slots:
  void eachZoomKeyActsOnceUnderX() {
    if (const QString tool = underx::MissingTool(); !tool.isEmpty())
      QSKIP(qPrintable(tool + QStringLiteral(" missing")));
    const underx::TRunUnderX run = underx::RunUnderX(120000);
    QStringList expected;
    for (const KeyStep& step : KeySteps)
      expected << QStringLiteral("%1 %2").arg(QLatin1String(step.keys)).arg(step.zoom);
    const QStringList lines = run.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines == expected, qPrintable(run.output + run.errors));
  }
};

int main(int argc, char** argv) { return underx::TestOrRunInX<TestZoomKeys>(argc, argv, RunInX); }

#include "tst_zoom_keys.moc"
