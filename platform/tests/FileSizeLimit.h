// Work done in a forked child, for tests that must not disturb the test
// process: a full disk (the child's files may not grow past a size limit;
// SIGXFSZ is ignored there, so a write past the limit fails with EFBIG
// instead of ending the process).
#ifndef PLATFORM_TESTS_FILESIZELIMIT_H
#define PLATFORM_TESTS_FILESIZELIMIT_H

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

// Runs body in a forked child that exits with what body returns (0 to 255);
// that exit status, or -1 when no child ran or it did not exit by itself.
inline int InChild(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The same under a file-size limit of `limit` bytes; 255 when the limit
// cannot be set.
inline int InChildUnderFileSizeLimit(rlim_t limit, const std::function<int()>& body) {
  return InChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit size{limit, limit};
    return ::setrlimit(RLIMIT_FSIZE, &size) == 0 ? body() : 255;
  });
}

// True when the child ran body to its end under the limit and body returned
// true.
inline bool InChildWithFileSizeLimit(rlim_t limit, const std::function<bool()>& body) {
  return InChildUnderFileSizeLimit(limit, [&] { return body() ? 0 : 1; }) == 0;
}

#endif
