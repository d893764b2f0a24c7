// Independent tools for the tests (ffprobe, ffmpeg, ImageMagick) run
// through the shell, their standard output read back.
#ifndef PLATFORM_TESTS_SHELLCOMMAND_H
#define PLATFORM_TESTS_SHELLCOMMAND_H

#include <cstdio>
#include <string>

// Standard output of a shell command; empty when it cannot be started.
inline std::string RunCommand(const std::string& command) {
  std::string out;
  if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

#endif
