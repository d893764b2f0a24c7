// The real program under a virtual X server with a window manager, keys
// typed as a user types them (xdotool through the X server's test
// extension) and the stacking order read from the window manager
// (_NET_CLIENT_LIST_STACKING). With the settings dialog shown (it stays on
// top): the about box, the preset open dialog, the message box after it and
// the region dialog open above it; Esc leaves the settings and region
// dialogs shown; Enter in the buffer-pool edit applies neither the typed
// frame limit nor the pool; Esc on the RGB histogram window closes it
// through its close handler, which stops its feed.
//
// Called with --in-x, this executable is the program under the X server: it
// runs the program block with a script of steps driven by a timer (so the
// script goes on while a modal box runs its own loop) and prints one line
// per step, "<step> ok" or "<step> FAILED <why>".
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "APP/Commands.h"
#include "APP/Program.h"
#include "APP/fmAbout.h"
#include "APP/fmHistogramRGB.h"
#include "APP/fmMain.h"
#include "APP/fmSettings.h"
#include "APP/fmViewPort.h"
#include "APP/tests/under_x.h"

namespace {

QString Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(10000)) return QString();
  return QString::fromLatin1(process.readAllStandardOutput());
}

void Key(const char* keys) {
  Run(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(keys)});
}

void Type(const char* text) {
  Run(QStringLiteral("xdotool"), {QStringLiteral("type"), QString::fromLatin1(text)});
}

void Activate(QWidget* window) {
  Run(QStringLiteral("xdotool"),
      {QStringLiteral("windowactivate"), QString::number(window->winId())});
}

// The managed windows, bottom first, as the window manager stacks them.
std::vector<WId> Stacking() {
  const QString text = Run(QStringLiteral("xprop"),
                           {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
  std::vector<WId> windows;
  const qsizetype hash = text.indexOf(QLatin1Char('#'));
  if (hash < 0) return windows;
  for (const QString& id : text.mid(hash + 1).split(QLatin1Char(','), Qt::SkipEmptyParts))
    windows.push_back(id.trimmed().toULongLong(nullptr, 16));
  return windows;
}

bool Above(QWidget* upper, QWidget* lower) {
  if (upper == nullptr || !upper->isVisible()) return false;
  const std::vector<WId> windows = Stacking();
  const auto at = [&](QWidget* w) {
    return std::find(windows.begin(), windows.end(), w->winId()) - windows.begin();
  };
  const auto top = at(upper);
  return top < static_cast<qsizetype>(windows.size()) && top > at(lower);
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

// Runs the steps one after another from a timer, so that they go on inside
// the loop of a modal box too. A step that is not done within its time
// fails the script, which then closes the program.
class TScript : public QObject {
 public:
  explicit TScript(std::vector<TStep> steps) : steps_(std::move(steps)) {
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
    return w == nullptr ? QStringLiteral("none")
                        : QString::fromLatin1(w->metaObject()->className());
  }

  void Finish() {
    // The timer stops while the application object exists. Whatever is still
    // open is closed, then the main window ends the program.
    timer_.stop();
    while (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    MainForm->close();
  }

  std::vector<TStep> steps_;
  std::size_t next_ = 0;
  bool started_ = false;
  bool busy_ = false;
  QDeadlineTimer deadline_;
  QTimer timer_;
};

template <class Box>
Box* ModalBox() {
  return qobject_cast<Box*>(QApplication::activeModalWidget());
}

// Above the other window and holding the keyboard: the window manager may
// stack a window before it gives it the focus, and a key typed in between
// would reach the window below.
bool AboveAndActive(QWidget* upper, QWidget* lower) {
  return upper != nullptr && QApplication::activeWindow() == upper && Above(upper, lower);
}

std::vector<TStep> Steps(TKeyReleases& keys) {
  static int mark = 0;
  return {
      {"main-active", [] { Activate(MainForm); },
       [] { return QApplication::activeWindow() == MainForm; }},
      {"settings-shown", [] { Key("alt+s"); },
       [] { return SettingsForm->isVisible() && QApplication::activeWindow() == SettingsForm; }},
      {"main-active-again", [] { Activate(MainForm); },
       [] { return QApplication::activeWindow() == MainForm; }},
      {"about-above-settings", [] { Key("alt+a"); },
       [] { return AboveAndActive(AboutForm, SettingsForm); }},
      {"about-closed", [] { Key("space"); }, [] { return !AboutForm->isVisible(); }},
      {"open-dialog-above-settings",
       [] {
         Activate(MainForm);
         Key("ctrl+l");
       },
       [] { return AboveAndActive(ModalBox<QFileDialog>(), SettingsForm); }},
      {"message-box-above-settings", [] { Key("Escape"); },
       [] { return AboveAndActive(ModalBox<QMessageBox>(), SettingsForm); }},
      {"message-box-closed", [] { Key("Return"); },
       [] { return QApplication::activeModalWidget() == nullptr; }},
      {"region-above-settings", [] { SettingsForm->btViewport->click(); },
       [] { return Above(ViewPortForm, SettingsForm); }},
      {"region-active", [] { Activate(ViewPortForm); },
       [] { return QApplication::activeWindow() == ViewPortForm; }},
      {"region-stays-on-esc",
       [&keys] {
         mark = keys.escapes;
         Key("Escape");
       },
       [&keys] { return keys.escapes > mark && ViewPortForm->isVisible(); }},
      {"settings-active",
       [] {
         Activate(SettingsForm);
         SettingsForm->cbUnlimitedFrames->setChecked(false);
         SettingsForm->eFrames->setFocus();
         SettingsForm->eFrames->selectAll();
       },
       [] { return QApplication::activeWindow() == SettingsForm; }},
      {"settings-stays-on-esc",
       [&keys] {
         mark = keys.escapes;
         Key("Escape");
       },
       [&keys] { return keys.escapes > mark && SettingsForm->isVisible(); }},
      {"frame-limit-typed", [] { Type("77"); },
       [] { return SettingsForm->eFrames->text() == QStringLiteral("77"); }},
      {"pool-size-typed",
       [] {
         SettingsForm->eBufferPoolSize->setFocus();
         SettingsForm->eBufferPoolSize->selectAll();
         Type("8");
       },
       [] { return SettingsForm->eBufferPoolSize->text() == QStringLiteral("8"); }},
      {"enter-applies-nothing",
       [&keys] {
         mark = keys.returns;
         Key("Return");
       },
       [&keys] {
         return keys.returns > mark && AppCommand->Frames2Capture == 0 &&
                AppCommand->PoolBlockSizeMB != 8 && SettingsForm->isVisible();
       }},
      {"histogram-fed",
       [] {
         AppCommand->StartVideo();
         Activate(MainForm);
         Key("h");
       },
       [] { return HistogramFormRGB->isVisible() && AppCommand->RGBHistogramOn; }},
      {"histogram-active", [] { Activate(HistogramFormRGB); },
       [] { return QApplication::activeWindow() == HistogramFormRGB; }},
      {"histogram-closed-on-esc", [] { Key("Escape"); },
       [] { return !HistogramFormRGB->isVisible() && !AppCommand->RGBHistogramOn; }},
  };
}

const char* const ExpectedSteps[] = {"main-active",
                                     "settings-shown",
                                     "main-active-again",
                                     "about-above-settings",
                                     "about-closed",
                                     "open-dialog-above-settings",
                                     "message-box-above-settings",
                                     "message-box-closed",
                                     "region-above-settings",
                                     "region-active",
                                     "region-stays-on-esc",
                                     "settings-active",
                                     "settings-stays-on-esc",
                                     "frame-limit-typed",
                                     "pool-size-typed",
                                     "enter-applies-nothing",
                                     "histogram-fed",
                                     "histogram-active",
                                     "histogram-closed-on-esc"};

int RunInX(int argc, char** argv) {
  TKeyReleases keys;
  std::unique_ptr<TScript> script;
  const int result = RunProgramInX(argc, argv, [&] {
    qApp->installEventFilter(&keys);
    script = std::make_unique<TScript>(Steps(keys));
  });
  script.reset();
  return result;
}

}  // namespace

class TestWindowsUnderX : public QObject {
  Q_OBJECT

 private slots:
  void stackingEnterAndEscAsAUserMeetsThem() {
    if (const QString tool = MissingXTool(); !tool.isEmpty())
      QSKIP(qPrintable(tool + QStringLiteral(" missing")));
    QProcess run;
    QVERIFY(RunUnderX(run, 300000));
    const QString output = QString::fromLocal8Bit(run.readAllStandardOutput());
    QStringList expected;
    for (const char* step : ExpectedSteps) expected << QString::fromLatin1(step) + " ok";
    const QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines == expected, qPrintable(output + run.readAllStandardError()));
  }
};

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--in-x") == 0) {
    char* programArgs[] = {argv[0], nullptr};
    return RunInX(1, programArgs);
  }
  QCoreApplication application(argc, argv);
  TestWindowsUnderX test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_windows_under_x.moc"
