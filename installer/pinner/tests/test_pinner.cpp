#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/tests/LnkInfoReader.h"

namespace fs = std::filesystem;

namespace {

struct PinnerRun {
  std::string out, err;
  int exitCode = -1;
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const std::string kAllMarks = "Res=0h\n1\n2\n3\n4\n5\n6\nOK\n";
const std::string kRefusedMarks = "Res=0h\n1\n2\n3\n4\nOK\n";
const std::string kUsage =
    "Usage: pinner.exe ShortcutPath ShortcutDescription FileNamePath [WorkingDir [Arguments]]\n";

class PinnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("pinner_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string In(const std::string& name) const { return (dir_ / name).string(); }

  // Runs pinner with these arguments, its output going to files; under a
  // file-size limit of `fileSizeLimit` bytes when it is not 0, with the
  // signal that the limit raises in its default action.
  PinnerRun Pinner(const std::vector<std::string>& arguments, rlim_t fileSizeLimit = 0) const {
    std::vector<char*> argv{const_cast<char*>(PINNER_PROGRAM)};
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, (dir_ / "out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (dir_ / "err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGXFSZ);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    // The child inherits the limit; this process writes no file until it is
    // lifted again right after the start.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    if (fileSizeLimit != 0) {
      const rlimit limit{fileSizeLimit, saved.rlim_max};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    pid_t pid = -1;
    PinnerRun run;
    const int spawned =
        posix_spawn(&pid, PINNER_PROGRAM, &actions, &attributes, argv.data(), environ);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid) return run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadText(dir_ / "out");
    run.err = ReadText(dir_ / "err");
    fs::remove(dir_ / "out");
    fs::remove(dir_ / "err");
    return run;
  }

  fs::path dir_;
};

}  // namespace

// Three, four and five arguments, ASCII and not: lnkinfo reads back what was
// given and what stat says about the target.
TEST_F(PinnerTest, WritesShortcutsThatLnkInfoReadsBack) {
  struct Case {
    std::vector<std::string> values;  // description, target name, working dir, arguments
  } cases[] = {
      {{"Camera", "camera.bin"}},
      {{"Kamera für Ω", "prüf €.bin", "/opt/wörk"}},
      {{"Camera", "camera.bin", "/opt/work", "-f \"a b\""}},
      {{"Kämera", "prüf €.bin", "C:\\Prögram", "--naïve"}},
  };
  std::ofstream(In("camera.bin")) << "12345";
  std::ofstream(In("prüf €.bin")) << std::string(100000, 'x');
  for (const auto& c : cases) {
    const auto& v = c.values;
    const std::string shortcut = In("Ärger " + std::to_string(v.size()) + ".lnk");
    std::vector<std::string> arguments{shortcut, v[0], In(v[1])};
    arguments.insert(arguments.end(), v.begin() + 2, v.end());
    const PinnerRun run = Pinner(arguments);
    EXPECT_EQ(run.out, kAllMarks);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0);

    const auto info = lnktest::RunLnkInfo(shortcut);
    const auto st = lnktest::StatX(In(v[1]));
    ASSERT_EQ(info.exitStatus, 0) << shortcut;
    EXPECT_TRUE(info.flagLines.count("Contains a description string"));
    EXPECT_EQ(info.flagLines.count("Contains a working directory string"), v.size() > 2 ? 1u : 0u);
    EXPECT_EQ(info.flagLines.count("Contains a command line arguments string"),
              v.size() > 3 ? 1u : 0u);
    EXPECT_EQ(info.fields.at("Local path"), In(v[1]));
    EXPECT_EQ(info.fields.at("Description"), v[0]);
    EXPECT_EQ(info.fields.count("Working directory") ? info.fields.at("Working directory") : "",
              v.size() > 2 ? v[2] : "");
    EXPECT_EQ(
        info.fields.count("Command line arguments") ? info.fields.at("Command line arguments") : "",
        v.size() > 3 ? v[3] : "");
    EXPECT_EQ(info.fields.at("File size"), std::to_string(st.stx_size) + " bytes");
    EXPECT_EQ(info.fields.at("File attribute flags"), "0x00000080");
    EXPECT_EQ(info.fields.at("Creation time"), lnktest::LnkInfoTime(st.stx_btime));
    EXPECT_EQ(info.fields.at("Access time"), lnktest::LnkInfoTime(st.stx_atime));
    EXPECT_EQ(info.fields.at("Modification time"), lnktest::LnkInfoTime(st.stx_mtime));
    const auto bytes = lnktest::ReadBytes(shortcut);
    EXPECT_EQ(lnktest::U32At(bytes, lnktest::kShowCommandOffset), 1u);
    EXPECT_EQ(lnktest::U16At(bytes, lnktest::kHotKeyOffset), 0u);
  }
}

// Empty values are stored with a count of 0 (lnkinfo cannot read them back).
TEST_F(PinnerTest, EmptyValuesAreSet) {
  const PinnerRun run = Pinner({In("e.lnk"), "", "camera.bin", "", ""});
  EXPECT_EQ(run.out, kAllMarks);
  const auto bytes = lnktest::ReadBytes(In("e.lnk"));
  EXPECT_EQ(lnktest::U32At(bytes, 20), 0xB6u);  // HasWorkingDir and HasArguments among the flags
  EXPECT_EQ(lnktest::StringData(bytes), (std::vector<std::u16string>{u"", u"", u""}));
}

TEST_F(PinnerTest, WrongArgumentCountsPrintUsage) {
  for (const auto& arguments :
       {std::vector<std::string>{In("u.lnk"), "d"},
        std::vector<std::string>{In("u.lnk"), "d", "t", "w", "a", "extra"}}) {
    const PinnerRun run = Pinner(arguments);
    EXPECT_EQ(run.out, kUsage);
    EXPECT_EQ(run.exitCode, 0);
  }
  EXPECT_FALSE(fs::exists(In("u.lnk")));
}

// A shortcut path of 259 UTF-16 units fits the copy buffer; one of 260 and
// values that are not UTF-8 write nothing, and the marks stop at 4.
TEST_F(PinnerTest, RefusedValuesWriteNothing) {
  const std::string prefix = In("");
  const std::string fits = prefix + std::string(259 - prefix.size() - 4, 'a') + ".lnk";
  const std::string tooLong = prefix + std::string(260 - prefix.size() - 4, 'a') + ".lnk";
  EXPECT_EQ(Pinner({fits, "d", "/bin/sh"}).out, kAllMarks);
  EXPECT_TRUE(fs::exists(fits));

  struct Case {
    std::vector<std::string> arguments;
    std::string named;
  } cases[] = {
      {{tooLong, "d", "/bin/sh"}, "ShortcutPath"},
      {{In("b.lnk\xFF"), "d", "/bin/sh"}, "ShortcutPath"},
      {{In("b.lnk"), "d\xC3", "/bin/sh"}, "ShortcutDescription"},
      {{In("b.lnk"), "d", "/bin/\xFF"}, "FileNamePath"},
      {{In("b.lnk"), "d", "/bin/sh", "\xED\xA0\x80"}, "WorkingDir"},
      {{In("b.lnk"), "d", "/bin/sh", "w", std::string(65536, 'a')}, "Arguments"},
  };
  for (const auto& c : cases) {
    const PinnerRun run = Pinner(c.arguments);
    EXPECT_EQ(run.out, kRefusedMarks);
    EXPECT_NE(run.err.find("pinner: " + c.named + " is "), std::string::npos) << run.err;
    EXPECT_EQ(run.exitCode, 0);
  }
  EXPECT_FALSE(fs::exists(tooLong));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()),
            1);  // only `fits`
}

// A folder that does not exist: the save fails, standard error says why, and
// the marks still end with 6 and OK (as root, permissions stop nothing).
TEST_F(PinnerTest, MissingFolderFailsAfterMarkSix) {
  const PinnerRun run = Pinner({In("no/such/folder.lnk"), "d", "/bin/sh"});
  EXPECT_EQ(run.out, kAllMarks);
  EXPECT_NE(run.err.find("pinner: shortcut not saved: cannot create"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(fs::exists(In("no")));
}

// Shortcut names of 245 to 255 bytes (the longest a file name may be) are
// saved like any other, with the permissions of a new file; the temporary
// file of the save never shows.
TEST_F(PinnerTest, NamesUpToTheFileNameLimitAreSaved) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  for (const std::size_t bytes : {245u, 251u, 255u}) {
    // Three- and two-byte characters keep the path below 260 UTF-16 units.
    std::string name;
    std::size_t twoByte = 0;
    while ((bytes - 4 - 2 * twoByte) % 3 != 0) ++twoByte;
    for (std::size_t i = 0; i < (bytes - 4 - 2 * twoByte) / 3; ++i) name += "\u20ac";
    for (std::size_t i = 0; i < twoByte; ++i) name += "\u00e9";
    name += ".lnk";
    ASSERT_EQ(name.size(), bytes);
    const PinnerRun run = Pinner({In(name), "d", "/bin/sh"});
    EXPECT_EQ(run.out, kAllMarks);
    EXPECT_EQ(run.err, "");
    ASSERT_TRUE(fs::exists(In(name))) << bytes;
    EXPECT_EQ(fs::status(In(name)).permissions(), static_cast<fs::perms>(0666 & ~mask));
    EXPECT_EQ(lnktest::RunLnkInfo(In(name)).fields.at("Local path"), "/bin/sh");
    fs::remove(In(name));
    EXPECT_TRUE(fs::is_empty(dir_)) << bytes;
  }
}

// Past a file-size limit the write fails instead of ending the program: all
// marks, exit code 0, why on standard error, the old shortcut as it was and
// no temporary file.
TEST_F(PinnerTest, AFileSizeLimitLeavesTheOldShortcut) {
  std::ofstream(In("old.lnk")) << "old";
  const PinnerRun run = Pinner({In("old.lnk"), std::string(4000, 'd'), "/bin/sh"}, 4096);
  EXPECT_EQ(run.out, kAllMarks);
  EXPECT_NE(run.err.find("pinner: shortcut not saved: cannot write"), std::string::npos) << run.err;
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(ReadText(In("old.lnk")), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}
