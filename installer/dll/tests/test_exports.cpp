// The shared library exports exactly the names its version script lists,
// under their plain names, and each can be looked up at run time.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <string>

namespace {

// The names in the version script's "global:" part.
std::set<std::string> listedExports() {
  std::ifstream in(QDVSETUP_EXPORTS);
  std::set<std::string> names;
  bool global = false;
  const std::regex name(R"(^\s*([A-Za-z_][A-Za-z0-9_]*)\s*;)");
  for (std::string line; std::getline(in, line);) {
    if (line.find("global:") != std::string::npos) {
      global = true;
    } else if (line.find("local:") != std::string::npos) {
      global = false;
    } else if (std::smatch m; global && std::regex_search(line, m, name)) {
      names.insert(m[1]);
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

}  // namespace
