// A full disk for tests: work done in a forked child whose files may not grow
// past a size limit. SIGXFSZ is ignored there, so a write past the limit
// fails with EFBIG instead of ending the process.
#ifndef PLATFORM_TESTS_FILESIZELIMIT_H
#define PLATFORM_TESTS_FILESIZELIMIT_H

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

// Runs body in a forked child under a file-size limit of `limit` bytes;
// true when the child ran body to its end and body returned true.
inline bool InChildWithFileSizeLimit(rlim_t limit, const std::function<bool()>& body) {
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit size{limit, limit};
    const bool done = ::setrlimit(RLIMIT_FSIZE, &size) == 0 && body();
    ::_exit(done ? 0 : 1);
  }
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

#endif
