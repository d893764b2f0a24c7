// Termination signals as the exit command: SIGTERM, SIGINT and SIGHUP close
// the program through its message loop (threads joined, a running capture
// ended with its file complete, the copy-data socket removed) instead of
// ending the process at once.
#ifndef APP_SIGNALEXIT_H
#define APP_SIGNALEXIT_H

#include <QObject>

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/handle.h"

class QSocketNotifier;

// While it exists, the listed signals no longer end the process: the
// handler only writes the signal's number into a pipe (async-signal-safe),
// and the GUI thread, woken by the pipe, runs `onSignal` once per signal. The
// previous dispositions come back when it is destroyed. One at a time.
class TSignalExit : public QObject {
 public:
  TSignalExit(std::initializer_list<int> signalNumbers, std::function<void(int)> onSignal);
  ~TSignalExit() override;
  TSignalExit(const TSignalExit&) = delete;
  TSignalExit& operator=(const TSignalExit&) = delete;

  // Whether the pipe and the handlers are in place.
  bool IsValid() const { return notifier_ != nullptr; }

 private:
  void ReadSignals();

  struct Previous;
  std::vector<Previous> previous_;
  std::function<void(int)> exit_;
  platform::UniqueFd pipeRead_;
  platform::UniqueFd pipeWrite_;
  QSocketNotifier* notifier_ = nullptr;
};

#endif
