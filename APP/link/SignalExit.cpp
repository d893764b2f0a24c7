#include "APP/link/SignalExit.h"

#include <QSocketNotifier>

#include <cassert>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The self-pipe's writing end as the handler sees it: a plain int, set
// before any handler is installed and cleared after they are all removed.
// The TSignalExit object owns both ends.
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

TSignalExit::TSignalExit(std::initializer_list<int> signalNumbers,
                         std::function<void(int)> onSignal)
    : exit_(std::move(onSignal)) {
  assert(pipeWrite < 0);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  pipeRead_.reset(fds[0]);
  pipeWrite_.reset(fds[1]);
  pipeWrite = pipeWrite_.get();
  notifier_ = new QSocketNotifier(pipeRead_.get(), QSocketNotifier::Read, this);
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
  for (const Previous& previous : previous_)
    ::sigaction(previous.signal, &previous.action, nullptr);
  delete notifier_;
  // No handler writes any more; the members close both ends.
  pipeWrite = -1;
}

void TSignalExit::ReadSignals() {
  unsigned char byte = 0;
  while (::read(pipeRead_.get(), &byte, 1) == 1) {
    if (exit_) exit_(byte);
  }
}
