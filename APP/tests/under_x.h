// The scaffolding of the tests that run the real program under a virtual X
// server with a window manager: the test itself runs xvfb-run on its own
// executable with --in-x, and that copy starts openbox, runs the program
// with a script and ends the window manager again.
#ifndef APP_TESTS_UNDER_X_H
#define APP_TESTS_UNDER_X_H

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "APP/Program.h"

// The tools these tests need, the first one missing; empty when all exist.
inline QString MissingXTool() {
  for (const char* tool : {"xvfb-run", "openbox", "xdotool", "xprop"})
    if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
      return QString::fromLatin1(tool);
  return QString();
}

// Runs this executable with --in-x under its own virtual X server and
// returns when it has ended (false after the time-out).
inline bool RunUnderX(QProcess& run, int timeoutMs) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  run.setProcessEnvironment(env);
  // The free display search starts at a number of this process's own, so
  // that virtual X servers started at the same moment do not race.
  const QString firstDisplay = QString::number(100 + QCoreApplication::applicationPid() % 400);
  run.start(QStandardPaths::findExecutable(QStringLiteral("xvfb-run")),
            {QStringLiteral("-a"), QStringLiteral("-n"), firstDisplay,
             QCoreApplication::applicationFilePath(), QStringLiteral("--in-x")});
  return run.waitForFinished(timeoutMs);
}

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

// The --in-x side: in a folder of its own (preset files and captures land
// there), with the window manager running, the program with `started` run
// once its windows exist.
inline int RunProgramInX(int argc, char** argv, const std::function<void()>& started) {
  QTemporaryDir folder;
  QDir::setCurrent(folder.path());
  const pid_t windowManager = StartWindowManager();
  const int result = RunProgram(argc, argv, started);
  if (windowManager > 0) {
    kill(windowManager, SIGTERM);
    waitpid(windowManager, nullptr, 0);
  }
  return result;
}

#endif
