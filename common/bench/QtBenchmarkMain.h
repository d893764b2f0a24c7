// The main function every benchmark program of the Qt programs shares: it
// makes the application object (headless unless QT_QPA_PLATFORM names a
// platform), takes the benchmark library's arguments, and runs the program's
// own steps before and after the benchmarks. A program registers its steps
// once, from a namespace-scope initialiser:
//   [[maybe_unused]] const bool Registered = SetBenchmarkProgram(setUp, tearDown);
#ifndef COMMON_BENCH_QTBENCHMARKMAIN_H
#define COMMON_BENCH_QTBENCHMARKMAIN_H

#include <functional>

bool SetBenchmarkProgram(std::function<void()> setUp, std::function<void()> tearDown = {});

#endif
