#include "common/bench/QtBenchmarkMain.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <utility>

namespace {

struct TBenchmarkProgram {
  std::function<void()> setUp;
  std::function<void()> tearDown;
};

TBenchmarkProgram& Program() {
  static TBenchmarkProgram program;
  return program;
}

}  // namespace

bool SetBenchmarkProgram(std::function<void()> setUp, std::function<void()> tearDown) {
  Program() = {std::move(setUp), std::move(tearDown)};
  return true;
}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  int qtArgc = 1;  // the benchmark library's arguments are not Qt's
  QApplication application(qtArgc, argv);
  if (Program().setUp) Program().setUp();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (Program().tearDown) Program().tearDown();
  return 0;
}
