#include "SignalExit.h"

#include <QSocketNotifier>

#include <cassert>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The self-pipe: the handler writes, the GUI thread reads. Written by the
// handler, so plain ints set before any handler is installed.
int pipeRead = -1;
int pipeWrite = -1;

extern "C" void WriteSignal(int signal) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signal);
  // A full pipe already holds signals enough to close the program.
  [[maybe_unused]] const ssize_t written = ::write(pipeWrite, &byte, 1);
  errno = saved;
}

}  // namespace

struct TSignalExit::Previous {
  int signal;
  struct sigaction action;
};

TSignalExit::TSignalExit(std::initializer_list<int> signalNumbers, std::function<void(int)> onSignal)
    : exit_(std::move(onSignal)) {
  assert(pipeRead < 0);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  pipeRead = fds[0];
  pipeWrite = fds[1];
  notifier_ = new QSocketNotifier(pipeRead, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { ReadSignals(); });

  struct sigaction action {};
  action.sa_handler = WriteSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls go on: the GUI thread decides when to stop.
  action.sa_flags = SA_RESTART;
  for (const int signal : signalNumbers) {
    Previous previous{signal, {}};
    if (::sigaction(signal, &action, &previous.action) == 0) previous_.push_back(previous);
  }
}

TSignalExit::~TSignalExit() {
  for (const Previous& previous : previous_) ::sigaction(previous.signal, &previous.action, nullptr);
  delete notifier_;
  if (pipeRead >= 0) {
    ::close(pipeRead);
    ::close(pipeWrite);
  }
  pipeRead = pipeWrite = -1;
}

void TSignalExit::ReadSignals() {
  unsigned char byte = 0;
  while (::read(pipeRead, &byte, 1) == 1) {
    if (exit_) exit_(byte);
  }
}
