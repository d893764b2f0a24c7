// The real program under a virtual X server with a window manager: F5 starts
// live video; then a second X client, the user, types F4 (a RAW capture into
// a pool of 64 blocks of 16 MB) and three seconds later Esc, and all along
// pings the main window every 20 ms as a window manager does (_NET_WM_PING,
// the message by which it decides that a window no longer answers). Every
// ping is answered, at most one in twenty later than 100 ms and none later
// than 250 ms (the machine is shared; the benchmark holds the tight figures). The keys come from
// that small process: starting xdotool from the program itself would copy the program's memory map
// (the pool's gigabyte) and so stall the very window under test.
//
// Called with --in-x, this executable is the program under the X server;
// with --user <window>, it is the user's client, which prints "pings
// <answered> of <sent>, longest <ms> ms, <count> later than 100 ms".
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include "APP/Program.h"
#include "APP/control/Commands.h"
#include "APP/forms/fmMain.h"
#include "APP/forms/fmSettings.h"
#include "common/tests/UnderX.h"

namespace {

using Clock = std::chrono::steady_clock;

xcb_atom_t Atom(xcb_connection_t* x, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      x, xcb_intern_atom(x, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

// Waits up to `limit` for the answer to ping `number`: the window sends the
// message back to the root window.
bool AwaitAnswer(xcb_connection_t* x, xcb_atom_t ping, std::uint32_t number,
                 Clock::time_point limit) {
  pollfd descriptor{xcb_get_file_descriptor(x), POLLIN, 0};
  while (Clock::now() < limit) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
      const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
      const bool answer = (event->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                          message->data.data32[0] == ping && message->data.data32[1] == number;
      std::free(event);
      if (answer) return true;
    }
    ::poll(&descriptor, 1, 5);
  }
  return false;
}

// Types keys through xdotool without waiting for it, so that the pings go on.
void KeyNoWait(const char* keys) {
  const pid_t pid = fork();
  if (pid == 0) {
    execlp("xdotool", "xdotool", "key", keys, static_cast<char*>(nullptr));
    _exit(127);
  }
}

int User(xcb_window_t window) {
  xcb_connection_t* x = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(x)) return 1;
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
  // The answer goes to the root window for its structure listeners.
  const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
  const xcb_atom_t protocols = Atom(x, "WM_PROTOCOLS"), ping = Atom(x, "_NET_WM_PING");
  const Clock::time_point start = Clock::now();
  const auto at = [&](int milliseconds) {
    return Clock::now() - start > std::chrono::milliseconds(milliseconds);
  };
  std::uint32_t sent = 0, answered = 0, late = 0;
  double longest = 0;
  int typed = 0;
  while (!at(6000)) {
    if (typed == 0 && at(1000)) KeyNoWait((++typed, "F4"));
    if (typed == 1 && at(4000)) KeyNoWait((++typed, "Escape"));
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = protocols;
    message.data.data32[0] = ping;
    message.data.data32[1] = ++sent;  // the time stamp field: the ping's number
    message.data.data32[2] = window;
    xcb_send_event(x, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_flush(x);
    const Clock::time_point pinged = Clock::now();
    if (AwaitAnswer(x, ping, sent, pinged + std::chrono::seconds(5))) {
      ++answered;
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - pinged).count();
      late += ms > 100 ? 1 : 0;
      longest = std::max(longest, ms);
    }
    usleep(20000);
  }
  while (wait(nullptr) > 0) {
  }
  std::printf("pings %u of %u, longest %.0f ms, %u later than 100 ms\n", answered, sent, longest,
              late);
  xcb_disconnect(x);
  return 0;
}

// The session: live video on (F5), then the user's client runs; the program
// ends when it has. Prints the client's line, then "capture ended" when a
// capture ran and has ended.
class TSession : public QObject {
 public:
  TSession() {
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
    timer_.start(10);
  }

 private:
  void Tick() {
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    captured_ = captured_ || AppCommand->Captures.CaptureRunning;
    if (step_ == 0) {
      AppCommand->Captures.PoolBlockCount = 64;
      AppCommand->Captures.PoolBlockSizeMB = 16;
      underx::Activate(MainForm);
      underx::Key("F5");
      ++step_;
    } else if (step_ == 1 && seconds > 2) {
      user_.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--user"), QString::number(MainForm->winId())});
      ++step_;
    } else if (step_ == 2 && user_.state() == QProcess::NotRunning) {
      std::printf("%s", user_.readAllStandardOutput().constData());
      if (captured_ && !AppCommand->Captures.CaptureRunning) std::printf("capture ended\n");
      std::fflush(stdout);
      timer_.stop();
      MainForm->close();
    } else if (seconds > 60) {
      timer_.stop();
      MainForm->close();
    }
  }

  QTimer timer_;
  QProcess user_;
  Clock::time_point start_ = Clock::now();
  int step_ = 0;
  bool captured_ = false;
};

int RunInX(int argc, char** argv) {
  QTemporaryDir folder;  // the closing preset save and the capture land there
  QDir::setCurrent(folder.path());
  std::unique_ptr<TSession> session;
  const int result = underx::WithWindowManager(
      [&] { return RunProgram(argc, argv, [&] { session = std::make_unique<TSession>(); }); });
  session.reset();
  return result;
}

}  // namespace

class TestCaptureUnderX : public QObject {
  Q_OBJECT
 private slots:
  void theWindowAnswersPingsThroughoutARAWCapture() {
    if (const QString tool = underx::MissingTool(); !tool.isEmpty())
      QSKIP(qPrintable(tool + QStringLiteral(" missing")));
    const underx::TRunUnderX run = underx::RunUnderX(120000);
    const QString output = run.output;
    const QRegularExpression line(
        QStringLiteral(R"(pings (\d+) of (\d+), longest (\d+) ms, (\d+) later than 100 ms)"));
    const QRegularExpressionMatch pings = line.match(output);
    QVERIFY2(pings.hasMatch(), qPrintable(output + run.errors));
    QVERIFY2(pings.captured(2).toInt() > 50, qPrintable(output));
    QCOMPARE(pings.captured(1), pings.captured(2));
    // Each pass of the capture loop waits in the GUI thread for the camera's
    // next frame (up to a frame period) and renders the preview; on a loaded
    // machine the scheduler stretches a few of them past 100 ms. A freeze
    // (a pool made ready at F4, a flush at the end) is far longer.
    QVERIFY2(pings.captured(3).toInt() <= 250, qPrintable(output));
    QVERIFY2(pings.captured(4).toInt() * 20 <= pings.captured(2).toInt(), qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("capture ended")), qPrintable(output));
  }
};

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--user") == 0)
    return User(static_cast<xcb_window_t>(std::strtoul(argv[2], nullptr, 10)));
  return underx::TestOrRunInX<TestCaptureUnderX>(argc, argv, RunInX);
}

#include "tst_capture_under_x.moc"
