// The real program under a virtual X server on the simulated camera: F5
// starts live video and Alt+4 chooses bilinear demosaicing, as a user would;
// the screenshot (QDV47B5_screenshot.png beside the test) must show colour
// video. Called with --press-key, this executable is the X client that types
// the key into the program's window (libX11 loaded at run time).
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#if __has_include(<X11/Xlib.h>)
#include <X11/Xlib.h>
#include <dlfcn.h>
#define HAVE_XLIB 1

namespace {

void* const X11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LAZY);
#define XCALL(name) reinterpret_cast<decltype(&name)>(dlsym(X11, #name))

Window FindWindow(Display* display, Window parent) {
  Window root = 0, up = 0, found = 0, *children = nullptr;
  unsigned count = 0;
  if (XCALL(XQueryTree)(display, parent, &root, &up, &children, &count) == 0) return 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XCALL(XFetchName)(display, children[i], &name) != 0 && name != nullptr) {
      if (std::strcmp(name, "QDV-47B5 Application") == 0) found = children[i];
      XCALL(XFree)(name);
    }
    if (found == 0) found = FindWindow(display, children[i]);
  }
  if (children != nullptr) XCALL(XFree)(children);
  return found;
}

// Focuses the program's window and sends one key press and release;
// "Alt+..." adds the Alt modifier.
int PressKey(const char* key) {
  const bool alt = std::strncmp(key, "Alt+", 4) == 0;
  Display* display = X11 != nullptr ? XCALL(XOpenDisplay)(nullptr) : nullptr;
  if (display == nullptr) return 2;
  XKeyEvent event{};
  event.display = display;
  event.root = XCALL(XDefaultRootWindow)(display);
  for (int i = 0; i < 100 && event.window == 0; ++i) {
    event.window = FindWindow(display, event.root);
    if (event.window == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (event.window == 0) return 3;
  XCALL(XSetInputFocus)(display, event.window, RevertToParent, CurrentTime);
  XCALL(XSync)(display, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  event.same_screen = True;
  event.state = alt ? Mod1Mask : 0;
  event.keycode = XCALL(XKeysymToKeycode)(display, XCALL(XStringToKeysym)(key + (alt ? 4 : 0)));
  for (int type : {KeyPress, KeyRelease}) {
    event.type = type;
    XCALL(XSendEvent)
    (display, event.window, True, KeyPressMask | KeyReleaseMask, reinterpret_cast<XEvent*>(&event));
    XCALL(XSync)(display, False);
  }
  XCALL(XCloseDisplay)(display);
  return 0;
}

}  // namespace
#endif

class TestScreenshot : public QObject {
  Q_OBJECT

 private slots:
  void liveVideoOnScreen() {
#ifndef HAVE_XLIB
    QSKIP("no X11 headers");
#endif
    const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfbRun.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("import")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
      QSKIP("xvfb-run, xdotool or ImageMagick import missing");
    const QString folder = QCoreApplication::applicationDirPath();
    if (!QFileInfo(folder + QStringLiteral("/QDV47B5")).isExecutable()) QSKIP("program not built");
    const QString shot = folder + QStringLiteral("/QDV47B5_screenshot.png");
    QFile::remove(shot);
    QTemporaryDir work;  // the program's own files go there
    QProcess run;
    run.setWorkingDirectory(work.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("APP"), folder + QStringLiteral("/QDV47B5"));
    env.insert(QStringLiteral("SELF"), QCoreApplication::applicationFilePath());
    env.insert(QStringLiteral("SHOT"), shot);
    run.setProcessEnvironment(env);
    run.start(xvfbRun,
              {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x1024x24"),
               QStringLiteral("sh"), QStringLiteral("-c"),
               QStringLiteral("\"$APP\" & app=$!\n"
                              // Keys go to the window once it is shown,
                              // however long a loaded machine takes.
                              "timeout 60 xdotool search --sync --onlyvisible "
                              "--class QDV47B5 >/dev/null\n"
                              "\"$SELF\" --press-key F5 || echo key-failed\n"
                              "\"$SELF\" --press-key Alt+4 || echo key-failed\n"
                              "sleep 3\nimport -window root \"$SHOT\"\n"
                              "kill $app; wait $app\n")});
    QVERIFY(run.waitForFinished(120000));
    const QByteArray output = run.readAllStandardOutput() + run.readAllStandardError();
    QVERIFY2(!output.contains("key-failed"), output.constData());
    const QImage image(shot);
    QVERIFY2(!image.isNull(), output.constData());
    // An empty or stopped window has a few dozen grey colours; the
    // demosaiced colour chart hundreds, many of them strong.
    QSet<QRgb> colours;
    int strong = 0, sampled = 0;
    for (int y = 0; y < image.height(); y += 2)
      for (int x = 0; x < image.width(); x += 2, ++sampled) {
        const QRgb c = image.pixel(x, y);
        colours.insert(c & 0xffffff);
        strong +=
            std::max({qRed(c), qGreen(c), qBlue(c)}) - std::min({qRed(c), qGreen(c), qBlue(c)}) >
            40;
      }
    QVERIFY2(colours.size() > 200, qPrintable(QString::number(colours.size())));
    QVERIFY2(strong > sampled / 20, qPrintable(QString::number(strong)));
  }
};

int main(int argc, char** argv) {
#ifdef HAVE_XLIB
  if (argc == 3 && std::strcmp(argv[1], "--press-key") == 0) return PressKey(argv[2]);
#endif
  QCoreApplication application(argc, argv);
  TestScreenshot test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_main_screenshot.moc"
