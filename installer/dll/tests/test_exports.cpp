// The shared library exports exactly the names its version script lists,
// under their plain names, and each can be looked up at run time; the
// command-line tool prints the record for installer scripts.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "installer/dll/tests/support_faketree.h"

namespace {

// The names in the version script's "global:" part.
std::set<std::string> listedExports() {
  std::ifstream in(QDVSETUP_EXPORTS);
  std::set<std::string> names;
  bool global = false;
  for (std::string line; std::getline(in, line);) {
    if (line.find("global:") != std::string::npos) {
      global = true;
    } else if (line.find("local:") != std::string::npos) {
      global = false;
    } else if (global) {
      const std::size_t begin = line.find_first_not_of(" \t");
      const std::size_t end = line.find(';');
      if (begin != std::string::npos && end != std::string::npos && begin < end &&
          line.compare(begin, 2, "/*") != 0) {
        names.insert(line.substr(begin, end - begin));
      }
    }
  }
  return names;
}

struct PipeCloser {
  void operator()(FILE* f) const { pclose(f); }
};

// Symbol names of `nm -D --defined-only`.
std::set<std::string> definedDynamicSymbols(const std::string& library) {
  const std::string command = "nm -D --defined-only '" + library + "'";
  std::unique_ptr<FILE, PipeCloser> pipe(popen(command.c_str(), "r"));
  std::set<std::string> names;
  if (!pipe) {
    return names;
  }
  char line[4096];
  while (std::fgets(line, sizeof line, pipe.get())) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
      text.pop_back();
    }
    names.insert(text.substr(text.rfind(' ') + 1));
  }
  return names;
}

struct LibraryCloser {
  void operator()(void* handle) const { dlclose(handle); }
};

TEST(Exports, ListedNamesAreTheOnlyDefinedDynamicSymbols) {
  const std::set<std::string> listed = listedExports();
  ASSERT_GE(listed.size(), 9u);
  EXPECT_EQ(definedDynamicSymbols(QDVSETUP_LIBRARY), listed);
}

TEST(Exports, EachListedNameResolvesAndDecoratedNamesDoNot) {
  std::unique_ptr<void, LibraryCloser> library(dlopen(QDVSETUP_LIBRARY, RTLD_NOW | RTLD_LOCAL));
  ASSERT_TRUE(library) << dlerror();
  for (const std::string& name : listedExports()) {
    EXPECT_NE(dlsym(library.get(), name.c_str()), nullptr) << name;
  }
  for (const char* hidden : {"_getSystemInfo@4", "_isMMX@0", "traceMessage"}) {
    EXPECT_EQ(dlsym(library.get(), hidden), nullptr) << hidden;
  }
}

struct ToolRun {
  std::string output;
  int exitCode = -1;
};

ToolRun runInfoTool(const std::string& root) {
  const std::string command = std::string("'") + QDVSETUP_INFO + "' '" + root + "'";
  std::unique_ptr<FILE, PipeCloser> pipe(popen(command.c_str(), "r"));
  ToolRun run;
  if (!pipe) {
    return run;
  }
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) {
    run.output.append(chunk, n);
  }
  const int status = pclose(pipe.release());
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(InfoTool, PrintsTheRecordInOrderThenTheTests) {
  faketree::FakeTree tree;
  tree.addBasics();
  tree.addPciDevice("0000:00:02.0", 0x8086, 0x3e92, 0x030000);
  tree.addPciDevice("0000:00:19.0", 0x8086, 0x10b9, 0x020000);
  tree.addInterface("eth0", true, "1000\n");
  const ToolRun run = runInfoTool(tree.root());
  EXPECT_EQ(run.exitCode, 0);
  const std::string record =
      "osCaption=Debian GNU/Linux 12 (bookworm)\nosVersion=6.1.0-18-amd64\nosMajor=6\n"
      "osMinor=1\nservicePack=0\nmemoryMB=8191\n"
      "cpuName=Intel(R) Xeon(R) CPU E3-1275 v6 @ 3.80GHz\ncpuManufacturer=GenuineIntel\n"
      "cpuCaption=x86_64 Family 6 Model 158 Stepping 9\ncpuCount=8\ncpuClockMHz=3800\n"
      "usb2Hosts=0\nusbViaHosts=0\ngigabitNics=1\nintelGigabitNics=1\nvideoCount=1\n"
      "videoAdapters[0].caption=8086:3e92\nvideoAdapters[0].memoryMB=0\n";
  const std::string tests =
      "isMMX=" + std::to_string(isMMX()) + "\nisSSE=" + std::to_string(isSSE()) +
      "\nisSSE2=" + std::to_string(isSSE2()) + "\nisSSE3=" + std::to_string(isSSE3()) +
      "\nisSSSE3=" + std::to_string(isSSSE3()) + "\nisSSE41=" + std::to_string(isSSE41()) +
      "\nisSSE42=" + std::to_string(isSSE42()) + "\nisWow64=0\n";
  EXPECT_EQ(run.output, record + tests);
}

TEST(InfoTool, ExitsWithTheProbesFailure) {
  faketree::FakeTree tree;
  tree.addBasics();
  tree.remove("sys/class/net");
  const ToolRun run = runInfoTool(tree.root());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("cpuCount=8\n"), std::string::npos);
}

}  // namespace
