// New and replaced files: names held by links, folders and files are never
// written through; a file not written whole never stays; a replaced file
// keeps its old contents until the new ones are whole, also on a full disk.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/newfile.h"
#include "platform/tests/FileSizeLimit.h"

namespace {

namespace fs = std::filesystem;

class NewFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/newfile-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    dir = name;
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string Path(const std::string& name) const { return (dir / name).string(); }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // Every entry of the folder, hidden ones (temporary files) included.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  static platform::FileContentWriter Text(const std::string& text) {
    return [text](std::FILE* file) {
      return std::fwrite(text.data(), 1, text.size(), file) == text.size();
    };
  }

  fs::path dir;
};

TEST_F(NewFileTest, ATakenNameIsNeverWrittenThrough) {
  fs::create_directory(Path("outside"));
  fs::create_symlink(Path("outside/target"), Path("dangling"));
  fs::create_symlink(Path("old"), Path("link"));
  fs::create_directory(Path("folder"));
  std::ofstream(Path("old")) << "old";
  for (const char* name : {"dangling", "link", "folder", "old"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(platform::NameTaken(Path(name).c_str()));
    errno = 0;
    EXPECT_FALSE(platform::CreateNewFile(Path(name).c_str()));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(
        platform::WriteWholeFile(Path(name).c_str(), platform::FileCreation::NewOnly, Text("new")));
  }
  EXPECT_FALSE(platform::NameTaken(Path("free").c_str()));
  EXPECT_TRUE(fs::is_empty(Path("outside")));
  EXPECT_EQ(Read("old"), "old");

  // A new file only where the name is free, with the umask's permissions.
  const mode_t mask = ::umask(022);
  platform::UniqueFd fd = platform::CreateNewFile(Path("free").c_str());
  ::umask(mask);
  ASSERT_TRUE(fd);
  struct stat info {};
  ASSERT_EQ(::fstat(fd.get(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  EXPECT_TRUE(platform::WriteWholeFile(Path("fresh").c_str(), platform::FileCreation::NewOnly,
                                       Text("fresh")));
  EXPECT_EQ(Read("fresh"), "fresh");
}

TEST_F(NewFileTest, ReplacingGoesThroughATemporaryFileRenamedOverTheName) {
  fs::create_directory(Path("outside"));
  std::ofstream(Path("outside/target")) << "target";
  fs::create_symlink(Path("outside/target"), Path("link"));
  fs::create_directory(Path("folder"));
  std::ofstream(Path("old")) << "old";

  struct Case {
    const char* name;
    bool replaced;
  } cases[] = {{"old", true}, {"link", true}, {"absent", true}, {"folder", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(platform::WriteWholeFile(Path(c.name).c_str(), platform::FileCreation::Replace,
                                       Text("new")),
              c.replaced);
  }
  EXPECT_EQ(Read("old"), "new");
  // The link itself is replaced; the file it pointed to is left alone.
  EXPECT_FALSE(fs::is_symlink(Path("link")));
  EXPECT_EQ(Read("link"), "new");
  EXPECT_EQ(Read("outside/target"), "target");
  EXPECT_TRUE(fs::is_directory(Path("folder")));
  // No temporary file stays behind, whether the rename succeeded or not.
  EXPECT_EQ(Entries(), (std::vector<std::string>{"absent", "folder", "link", "old", "outside"}));
  // A writer that fails leaves the old contents and no temporary file.
  EXPECT_FALSE(platform::WriteWholeFile(Path("old").c_str(), platform::FileCreation::Replace,
                                        [](std::FILE*) { return false; }));
  EXPECT_EQ(Read("old"), "new");
  EXPECT_EQ(Entries().size(), 5u);
}

TEST_F(NewFileTest, OnAFullDiskNoPartialFileStays) {
  std::ofstream(Path("old")) << "old";
  // Larger than the buffer of a C file, the failure shows in a write;
  // smaller, only when the file is closed.
  for (std::size_t size : {std::size_t{100000}, std::size_t{3000}}) {
    SCOPED_TRACE(size);
    const std::string text(size, 'x');
    EXPECT_TRUE(InChildWithFileSizeLimit(2000, [&] {
      return !platform::WriteWholeFile(Path("new").c_str(), platform::FileCreation::NewOnly,
                                       Text(text)) &&
             errno == EFBIG &&
             !platform::WriteWholeFile(Path("old").c_str(), platform::FileCreation::Replace,
                                       Text(text)) &&
             errno == EFBIG;
    }));
    EXPECT_EQ(Entries(), std::vector<std::string>{"old"});
    EXPECT_EQ(Read("old"), "old");
  }
}

}  // namespace
