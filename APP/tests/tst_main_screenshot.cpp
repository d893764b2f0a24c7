// The real program under a virtual X server: started on the simulated
// camera, live video switched on with F5 and bilinear demosaicing chosen
// with Alt+4 as a user would, and a screenshot of the whole screen saved
// beside the test (QDV47B5_screenshot.png). The picture must show the live
// colour video, not an empty or stopped window.
//
// The same executable, called with --press-key, is the little X client that
// types a key into the program's window.
#include <QDir>
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
#include <X11/keysym.h>
#include <dlfcn.h>
#define HAVE_XLIB 1
#endif

namespace {

#ifdef HAVE_XLIB
const char* const WindowCaption = "QDV-47B5 Application";

// libX11 is loaded at run time: the test needs no link-time X dependency.
struct XLib {
  void* handle = dlopen("libX11.so.6", RTLD_NOW);
  template <class F>
  F* Get(const char* name) const {
    return handle != nullptr ? reinterpret_cast<F*>(dlsym(handle, name)) : nullptr;
  }
};

Window FindWindow(const XLib& x, Display* display, Window parent, const char* caption) {
  auto* queryTree = x.Get<decltype(XQueryTree)>("XQueryTree");
  auto* fetchName = x.Get<decltype(XFetchName)>("XFetchName");
  auto* xfree = x.Get<decltype(XFree)>("XFree");
  Window root = 0, up = 0, found = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (queryTree(display, parent, &root, &up, &children, &count) == 0) return 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (fetchName(display, children[i], &name) != 0 && name != nullptr) {
      if (std::strcmp(name, caption) == 0) found = children[i];
      xfree(name);
    }
    if (found == 0) found = FindWindow(x, display, children[i], caption);
  }
  if (children != nullptr) xfree(children);
  return found;
}

// Focuses the program's window and sends it one key press and release; a
// key named "Alt+..." is sent with the Alt modifier.
int PressKey(const char* keyName) {
  unsigned state = 0;
  if (std::strncmp(keyName, "Alt+", 4) == 0) {
    state = Mod1Mask;
    keyName += 4;
  }
  XLib x;
  auto* open = x.Get<decltype(XOpenDisplay)>("XOpenDisplay");
  if (open == nullptr) return 2;
  Display* display = open(nullptr);
  if (display == nullptr) return 3;
  auto* rootWindow = x.Get<decltype(XDefaultRootWindow)>("XDefaultRootWindow");
  auto* setFocus = x.Get<decltype(XSetInputFocus)>("XSetInputFocus");
  auto* sendEvent = x.Get<decltype(XSendEvent)>("XSendEvent");
  auto* sync = x.Get<decltype(XSync)>("XSync");
  auto* toKeysym = x.Get<decltype(XStringToKeysym)>("XStringToKeysym");
  auto* toKeycode = x.Get<decltype(XKeysymToKeycode)>("XKeysymToKeycode");
  auto* close = x.Get<decltype(XCloseDisplay)>("XCloseDisplay");
  const Window root = rootWindow(display);
  Window window = 0;
  for (int i = 0; i < 100 && window == 0; ++i) {
    window = FindWindow(x, display, root, WindowCaption);
    if (window == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (window == 0) return 4;
  setFocus(display, window, RevertToParent, CurrentTime);
  sync(display, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  XKeyEvent event{};
  event.display = display;
  event.window = window;
  event.root = root;
  event.time = CurrentTime;
  event.same_screen = True;
  event.state = state;
  event.keycode = toKeycode(display, toKeysym(keyName));
  for (int type : {KeyPress, KeyRelease}) {
    event.type = type;
    sendEvent(display, window, True, KeyPressMask | KeyReleaseMask,
              reinterpret_cast<XEvent*>(&event));
    sync(display, False);
  }
  close(display);
  return 0;
}
#endif

}  // namespace

class TestScreenshot : public QObject {
  Q_OBJECT

 private slots:
  void liveVideoOnScreen() {
#ifndef HAVE_XLIB
    QSKIP("no X11 headers");
#endif
    const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    const QString import = QStandardPaths::findExecutable(QStringLiteral("import"));
    if (xvfbRun.isEmpty() || import.isEmpty()) QSKIP("xvfb-run or ImageMagick import missing");
    const QString folder = QCoreApplication::applicationDirPath();
    const QString program = folder + QStringLiteral("/QDV47B5");
    if (!QFileInfo(program).isExecutable()) QSKIP("the program is not built");
    const QString shot = folder + QStringLiteral("/QDV47B5_screenshot.png");
    QFile::remove(shot);

    // The program's files (presets, captures) go to a folder of their own.
    QTemporaryDir work;
    QVERIFY(work.isValid());
    QProcess run;
    run.setWorkingDirectory(work.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("APP"), program);
    env.insert(QStringLiteral("SELF"), QCoreApplication::applicationFilePath());
    env.insert(QStringLiteral("SHOT"), shot);
    run.setProcessEnvironment(env);
    const QString script = QStringLiteral(
        "\"$APP\" & app=$!\n"
        "\"$SELF\" --press-key F5 || echo key-failed\n"
        "\"$SELF\" --press-key Alt+4 || echo key-failed\n"
        "sleep 3\n"
        "import -window root \"$SHOT\"\n"
        "kill $app; wait $app\n");
    run.start(xvfbRun, {QStringLiteral("-a"), QStringLiteral("-s"),
                        QStringLiteral("-screen 0 1280x1024x24"), QStringLiteral("sh"),
                        QStringLiteral("-c"), script});
    QVERIFY(run.waitForFinished(60000));
    const QByteArray output = run.readAllStandardOutput() + run.readAllStandardError();
    QVERIFY2(!output.contains("key-failed"), output.constData());

    QImage image(shot);
    QVERIFY2(!image.isNull(), qPrintable(QStringLiteral("no screenshot: ") + output));
    // An empty or stopped window has a few dozen colours, all of them grey;
    // the demosaiced colour chart has hundreds, many of them strong.
    QSet<QRgb> colours;
    int strong = 0, sampled = 0;
    for (int y = 0; y < image.height(); y += 2) {
      for (int x = 0; x < image.width(); x += 2) {
        const QRgb c = image.pixel(x, y);
        colours.insert(c & 0xffffff);
        const int spread = std::max({qRed(c), qGreen(c), qBlue(c)}) -
                           std::min({qRed(c), qGreen(c), qBlue(c)});
        if (spread > 40) ++strong;
        ++sampled;
      }
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
