// Support for tests of a real program under a virtual X server with a window
// manager: keys typed as a user types them (xdotool through the X server's
// test extension), the stacking order read from the window manager
// (_NET_CLIENT_LIST_STACKING), and a script of steps driven by a timer, so
// that the script goes on while a modal box runs its own loop. Each step
// prints one line, "<step> ok" or "<step> FAILED <why>".
//
// The test executable runs itself under xvfb-run with --in-x (RunUnderX);
// that run starts the window manager (StartWindowManager) and the program
// with a TScript.
#ifndef COMMON_TESTS_UNDERX_H
#define COMMON_TESTS_UNDERX_H

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace underx {

inline QString Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(10000)) return QString();
  return QString::fromLatin1(process.readAllStandardOutput());
}

inline void Key(const char* keys) {
  Run(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(keys)});
}

// Typed quickly, as a user types a path he knows.
inline void Type(const QString& text) {
  Run(QStringLiteral("xdotool"),
      {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), text});
}

inline void Activate(QWidget* window) {
  Run(QStringLiteral("xdotool"),
      {QStringLiteral("windowactivate"), QString::number(window->winId())});
}

// The managed windows, bottom first, as the window manager stacks them.
inline std::vector<WId> Stacking() {
  const QString text = Run(QStringLiteral("xprop"),
                           {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
  std::vector<WId> windows;
  const qsizetype hash = text.indexOf(QLatin1Char('#'));
  if (hash < 0) return windows;
  for (const QString& id : text.mid(hash + 1).split(QLatin1Char(','), Qt::SkipEmptyParts))
    windows.push_back(id.trimmed().toULongLong(nullptr, 16));
  return windows;
}

inline bool Above(QWidget* upper, QWidget* lower) {
  if (upper == nullptr || !upper->isVisible()) return false;
  const std::vector<WId> windows = Stacking();
  const auto at = [&](QWidget* w) {
    return std::find(windows.begin(), windows.end(), w->winId()) - windows.begin();
  };
  const auto top = at(upper);
  return top < static_cast<qsizetype>(windows.size()) && top > at(lower);
}

// Above the other window and holding the keyboard: the window manager may
// stack a window before it gives it the focus, and a key typed in between
// would reach the window below.
inline bool AboveAndActive(QWidget* upper, QWidget* lower) {
  return upper != nullptr && QApplication::activeWindow() == upper && Above(upper, lower);
}

template <class Box>
Box* ModalBox() {
  return qobject_cast<Box*>(QApplication::activeModalWidget());
}

// Counts key releases of Esc and Return anywhere in the program, as they
// reach the program's windows (each key event once, before any widget): once
// a release has come, the press before it has been handled.
class TKeyReleases : public QObject {
 public:
  int escapes = 0;
  int returns = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyRelease && !static_cast<QKeyEvent*>(event)->isAutoRepeat() &&
        watched->isWindowType()) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Escape) ++escapes;
      if (key == Qt::Key_Return) ++returns;
    }
    return false;
  }
};

struct TStep {
  const char* name;
  std::function<void()> action;  // runs once
  std::function<bool()> done;    // polled until true
};

// Runs the steps one after another from a timer. A step that is not done
// within its time fails the script. At the end, whatever modal box is still
// open is closed and `finish` ends the program.
class TScript : public QObject {
 public:
  TScript(std::vector<TStep> steps, std::function<void()> finish)
      : steps_(std::move(steps)), finish_(std::move(finish)) {
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
    timer_.start(25);
  }

 private:
  void Tick() {
    if (busy_) return;
    busy_ = true;
    if (next_ < steps_.size()) RunStep(steps_[next_]);
    busy_ = false;
  }

  void RunStep(const TStep& step) {
    if (!started_) {
      started_ = true;
      deadline_ = QDeadlineTimer(15000);
      if (step.action) step.action();
    }
    if (step.done == nullptr || step.done()) {
      std::printf("%s ok\n", step.name);
      ++next_;
      started_ = false;
    } else if (deadline_.hasExpired()) {
      std::printf("%s FAILED active=%s modal=%s\n", step.name,
                  qPrintable(Name(QApplication::activeWindow())),
                  qPrintable(Name(QApplication::activeModalWidget())));
      next_ = steps_.size();
    } else {
      return;
    }
    std::fflush(stdout);
    if (next_ == steps_.size()) Finish();
  }

  static QString Name(const QWidget* w) {
    if (w == nullptr) return QStringLiteral("none");
    const QString name = QString::fromLatin1(w->metaObject()->className());
    if (const auto* box = qobject_cast<const QMessageBox*>(w)) return name + ":" + box->text();
    return name;
  }

  void Finish() {
    timer_.stop();
    while (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    finish_();
  }

  std::vector<TStep> steps_;
  std::function<void()> finish_;
  std::size_t next_ = 0;
  bool started_ = false;
  bool busy_ = false;
  QDeadlineTimer deadline_;
  QTimer timer_;
};

// Starts the window manager and waits until it manages the screen.
inline pid_t StartWindowManager() {
  const pid_t pid = fork();
  if (pid == 0) {
    // Its messages would mix with the script's lines.
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    execlp("openbox", "openbox", static_cast<char*>(nullptr));
    _exit(127);
  }
  // No application object exists yet: the check runs through the shell.
  for (int i = 0; i < 400; ++i) {
    if (std::system("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'") == 0)
      break;
    usleep(50000);
  }
  return pid;
}

inline void StopWindowManager(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// Runs `program` with the window manager managing the screen, and ends the
// window manager again; returns what the program returned.
inline int WithWindowManager(const std::function<int()>& program) {
  const pid_t windowManager = StartWindowManager();
  const int result = program();
  StopWindowManager(windowManager);
  return result;
}

// Done once `ms` milliseconds have passed since the step began (its action
// restarts the clock): time for what the program does late, unasked.
class TPause {
 public:
  explicit TPause(int ms) : ms_(ms) {}
  void Start() { deadline_ = QDeadlineTimer(ms_); }
  bool Over() const { return deadline_.hasExpired(); }

 private:
  int ms_;
  QDeadlineTimer deadline_;
};

// The tools a run under X needs; empty when all are there, else the first
// one missing.
inline QString MissingTool() {
  for (const char* tool : {"xvfb-run", "openbox", "xdotool", "xprop"})
    if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
      return QString::fromLatin1(tool);
  return QString();
}

struct TRunUnderX {
  QString output;  // the script's lines
  QString errors;
};

// Runs this executable with --in-x under a virtual X server; `timeoutMs`
// bounds the whole run.
inline TRunUnderX RunUnderX(int timeoutMs = 300000) {
  QProcess run;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  run.setProcessEnvironment(env);
  // The free display search starts at a number of this process's own, so
  // that virtual X servers started at the same moment do not race.
  const QString firstDisplay = QString::number(100 + QCoreApplication::applicationPid() % 400);
  run.start(QStandardPaths::findExecutable(QStringLiteral("xvfb-run")),
            {QStringLiteral("-a"), QStringLiteral("-n"), firstDisplay,
             QCoreApplication::applicationFilePath(), QStringLiteral("--in-x")});
  if (!run.waitForFinished(timeoutMs)) return {QString(), QStringLiteral("timed out")};
  return {QString::fromLocal8Bit(run.readAllStandardOutput()),
          QString::fromLocal8Bit(run.readAllStandardError())};
}

// The lines a script of these steps prints when every step succeeds.
inline QString AllStepsOk(const std::vector<TStep>& steps) {
  QString lines;
  for (const TStep& step : steps) lines += QString::fromLatin1(step.name) + " ok\n";
  return lines;
}

// The test's main: with --in-x the program under the X server (runInX),
// else the test, which starts that run.
template <class Test>
int TestOrRunInX(int argc, char** argv, int (*runInX)(int argc, char** argv)) {
  if (argc == 2 && std::strcmp(argv[1], "--in-x") == 0) {
    char* programArgs[] = {argv[0], nullptr};
    return runInX(1, programArgs);
  }
  QCoreApplication application(argc, argv);
  Test test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace underx

#endif
