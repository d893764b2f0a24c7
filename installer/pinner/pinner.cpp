// pinner: places one shell shortcut (.lnk file) for an installer.
//
//   pinner ShortcutPath ShortcutDescription FileNamePath [WorkingDir [Arguments]]
//
// Arguments are UTF-8. Progress marks go to standard output, one a line; the
// exit code is always 0, since installers run it without looking at it. Why a
// shortcut was not written goes to standard error.
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ShellLink.h"

namespace {

// The shortcut's path is copied into a buffer of this many UTF-16 units,
// terminator included.
constexpr std::size_t kShortcutPathBuffer = 260;

struct ShortcutArguments {
  std::string_view shortcutPath;
  std::string_view description;
  std::string_view fileNamePath;
  std::optional<std::string_view> workingDir;
  std::optional<std::string_view> arguments;
};

void Mark(const char* mark) { std::printf("%s\n", mark); }

// Remembers the first value the link refused, so that nothing is written.
class Refusals {
 public:
  void Check(const char* name, platform::ShellLink::Status status) {
    if (status != platform::ShellLink::Status::Ok)
      Refuse(name, platform::ShellLinkStatusText(status));
  }
  void Refuse(const char* name, const char* why) {
    std::fprintf(stderr, "pinner: %s is %s\n", name, why);
    any_ = true;
  }
  bool Any() const { return any_; }

 private:
  bool any_ = false;
};

void CheckShortcutPath(std::string_view path, Refusals& refusals) {
  const auto units = platform::Utf8ToUtf16(path);
  if (!units) {
    refusals.Check("ShortcutPath", platform::ShellLink::Status::InvalidUtf8);
  } else if (units->size() >= kShortcutPathBuffer) {
    refusals.Refuse("ShortcutPath", "too long (260 UTF-16 units or more)");
  }
}

// Marks 1 to 6 as the steps pass them; a refused value stops after mark 4.
void PlaceShortcut(const ShortcutArguments& a) {
  platform::ShellLink link;
  Refusals refusals;
  Mark("1");
  refusals.Check("FileNamePath", link.SetPath(a.fileNamePath));
  refusals.Check("ShortcutDescription", link.SetDescription(a.description));
  Mark("2");
  // Arguments before the working directory; a given but empty one is set.
  if (a.arguments) refusals.Check("Arguments", link.SetArguments(*a.arguments));
  if (a.workingDir) refusals.Check("WorkingDir", link.SetWorkingDirectory(*a.workingDir));
  Mark("3");
  Mark("4");
  CheckShortcutPath(a.shortcutPath, refusals);
  if (refusals.Any()) {
    std::fprintf(stderr, "pinner: no shortcut written\n");
    return;
  }
  Mark("5");
  const std::string why = link.Save(std::string(a.shortcutPath));
  Mark("6");
  if (!why.empty()) std::fprintf(stderr, "pinner: shortcut not saved: %s\n", why.c_str());
}

void MakeShortcut(const ShortcutArguments& arguments) {
  // Creating the link object cannot fail here: its result is always 0.
  std::printf("Res=%Xh\n", 0u);
  PlaceShortcut(arguments);
  Mark("OK");
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write must fail, not kill the program: the save
  // then removes its temporary file, the old shortcut stays, and the marks
  // still reach standard output.
  std::signal(SIGXFSZ, SIG_IGN);
  if (argc < 4 || argc > 6) {
    std::printf(
        "Usage: pinner.exe ShortcutPath ShortcutDescription FileNamePath [WorkingDir "
        "[Arguments]]\n");
    return 0;
  }
  ShortcutArguments arguments{argv[1], argv[2], argv[3], std::nullopt, std::nullopt};
  if (argc > 4) arguments.workingDir = argv[4];
  if (argc > 5) arguments.arguments = argv[5];
  MakeShortcut(arguments);
  return 0;
}
