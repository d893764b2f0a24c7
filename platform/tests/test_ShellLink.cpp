#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ShellLink.h"
#include "platform/tests/LnkInfoReader.h"

namespace fs = std::filesystem;
using platform::ShellLink;
using Status = ShellLink::Status;

namespace {

std::vector<std::uint8_t> FromHex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  std::istringstream in(hex);
  std::string word;
  while (in >> word)
    for (std::size_t i = 0; i + 1 < word.size(); i += 2)
      bytes.push_back(std::stoi(word.substr(i, 2), nullptr, 16));
  return bytes;
}

class ShellLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("shelllink_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string In(const std::string& name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

}  // namespace

// A missing target (all its header fields 0), no working directory or
// arguments, checked byte by byte.
TEST_F(ShellLinkTest, BytesOfMinimalLink) {
  ShellLink link;
  ASSERT_EQ(link.SetPath("/no/such"), Status::Ok);
  ASSERT_EQ(link.SetDescription("D"), Status::Ok);
  const auto expected = FromHex(
      "4C000000 01140200000000 00C0000000000000 46"  // header size, CLSID
      "86000000 00000000"                            // HasLinkInfo|HasName|IsUnicode, attributes
      "0000000000000000 0000000000000000 0000000000000000"      // creation, access, write times
      "00000000 00000000 01000000 0000 0000 00000000 00000000"  // size, icon, show normal, hot key
      "53000000 24000000 01000000 24000000 35000000 00000000 3E000000 3F000000 51000000"  // LinkInfo
      "11000000 03000000 00000000 10000000 00"     // volume: fixed, serial 0, empty label
      "2F6E6F2F73756368 00 00"                     // "/no/such", empty suffix
      "2F006E006F002F0073007500630068000000 0000"  // the same in UTF-16, empty suffix
      "0100 4400"                                  // description "D"
      "00000000");                                 // terminal block
  EXPECT_EQ(link.Bytes(), expected);
}

// An existing target with every string set, outside ASCII too: lnkinfo reads
// back what stat says about the target and the strings as set.
TEST_F(ShellLinkTest, LnkInfoReadsBackTarget) {
  const std::string target = In("tärget €.bin");
  std::ofstream(target) << std::string(70000, 'x');
  ShellLink link;
  ASSERT_EQ(link.SetPath(target), Status::Ok);
  ASSERT_EQ(link.SetDescription("Ωmega description"), Status::Ok);
  ASSERT_EQ(link.SetArguments("-x \"a b\""), Status::Ok);
  ASSERT_EQ(link.SetWorkingDirectory("/tmp/wörk"), Status::Ok);
  ASSERT_EQ(link.Save(In("a.lnk")), "");

  const auto info = lnktest::RunLnkInfo(In("a.lnk"));
  const auto st = lnktest::StatX(target);
  ASSERT_EQ(info.exitStatus, 0);
  EXPECT_TRUE(info.flagLines.count("Contains a description string"));
  EXPECT_TRUE(info.flagLines.count("Contains a working directory string"));
  EXPECT_TRUE(info.flagLines.count("Contains a command line arguments string"));
  EXPECT_EQ(info.fields.at("Local path"), target);
  EXPECT_EQ(info.fields.at("Description"), "Ωmega description");
  EXPECT_EQ(info.fields.at("Working directory"), "/tmp/wörk");
  EXPECT_EQ(info.fields.at("Command line arguments"), "-x \"a b\"");
  EXPECT_EQ(info.fields.at("File size"), "70000 bytes");
  EXPECT_EQ(info.fields.at("File attribute flags"), "0x00000080");
  EXPECT_EQ(info.fields.at("Drive type"), "Fixed (3)");
  EXPECT_EQ(info.fields.at("Creation time"), lnktest::LnkInfoTime(st.stx_btime));
  EXPECT_EQ(info.fields.at("Access time"), lnktest::LnkInfoTime(st.stx_atime));
  EXPECT_EQ(info.fields.at("Modification time"), lnktest::LnkInfoTime(st.stx_mtime));

  const auto bytes = lnktest::ReadBytes(In("a.lnk"));
  EXPECT_EQ(lnktest::U32At(bytes, lnktest::kShowCommandOffset), 1u);
  EXPECT_EQ(lnktest::U16At(bytes, lnktest::kHotKeyOffset), 0u);
  // The ANSI copy of the path has one '?' per character outside ASCII.
  const std::string bytesText(bytes.begin(), bytes.end());
  EXPECT_NE(bytesText.find(In("t?rget ?.bin") + '\0'), std::string::npos);
}

// A directory target, given relative to the current folder, is stored
// absolute; a character outside the 16-bit range takes a surrogate pair.
TEST_F(ShellLinkTest, RelativeDirectoryTargetAndEmptyStrings) {
  const fs::path old = fs::current_path();
  fs::create_directory(dir_ / "sub");
  fs::current_path(dir_);
  ShellLink link;
  const Status status = link.SetPath("sub");
  fs::current_path(old);
  ASSERT_EQ(status, Status::Ok);
  ASSERT_EQ(link.SetArguments(""), Status::Ok);
  ASSERT_EQ(link.SetWorkingDirectory("\xF0\x9F\x98\x80"), Status::Ok);  // U+1F600
  const auto bytes = link.Bytes();
  EXPECT_EQ(lnktest::U32At(bytes, 20), 0xB6u);  // HasArguments and HasWorkingDir although empty
  EXPECT_EQ(lnktest::U32At(bytes, 24), 0x10u);  // a directory
  EXPECT_EQ(lnktest::StringData(bytes), (std::vector<std::u16string>{u"", u"\xD83D\xDE00", u""}));
  const std::string bytesText(bytes.begin(), bytes.end());
  EXPECT_NE(bytesText.find(In("sub") + '\0'), std::string::npos);
}

TEST(Utf8ToUtf16, AcceptsWellFormedRejectsTheRest) {
  struct Case {
    std::string utf8;
    std::optional<std::u16string> utf16;
  } cases[] = {
      {"", u""},
      {"a\x7F", u"a\x7F"},
      {"\xC3\xA4\xE2\x82\xAC", u"ä€"},
      {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},  // U+10FFFF
      {"\xFF", std::nullopt},
      {"\xC3", std::nullopt},              // cut short
      {"\xC0\xAF", std::nullopt},          // overlong '/'
      {"\xE0\x80\xAF", std::nullopt},      // overlong '/'
      {"\xED\xA0\x80", std::nullopt},      // a surrogate
      {"\xF4\x90\x80\x80", std::nullopt},  // above U+10FFFF
      {"a\x80", std::nullopt},             // lone continuation byte
  };
  for (const auto& c : cases) EXPECT_EQ(platform::Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
}

TEST(ShellLinkSetters, RefuseAndKeepOldValue) {
  ShellLink link;
  ASSERT_EQ(link.SetDescription("kept"), Status::Ok);
  EXPECT_EQ(link.SetDescription("\xFF"), Status::InvalidUtf8);
  EXPECT_EQ(link.SetDescription(std::string(0x10000, 'a')), Status::TooLong);
  EXPECT_EQ(link.SetArguments(std::string(0x10000, 'a')), Status::TooLong);
  EXPECT_EQ(link.SetWorkingDirectory("\xC3"), Status::InvalidUtf8);
  EXPECT_EQ(link.SetPath(""), Status::Empty);
  EXPECT_EQ(link.SetPath("/a\xFF"), Status::InvalidUtf8);
  EXPECT_EQ(lnktest::StringData(link.Bytes()).at(0), u"kept");
  EXPECT_EQ(link.SetDescription(std::string(0xFFFF, 'a')), Status::Ok);
  const auto bytes = link.Bytes();
  EXPECT_EQ(lnktest::U32At(bytes, 20), 0x86u);  // neither arguments nor working directory
  EXPECT_EQ(lnktest::StringData(bytes).at(0).size(), 0xFFFFu);
}

// A save that cannot finish leaves no temporary file behind and what was at
// the shortcut's place stays as it was.
TEST_F(ShellLinkTest, FailedSaveLeavesNothingBehind) {
  ShellLink link;
  link.SetPath("/bin/sh");
  EXPECT_NE(link.Save(In("missing/a.lnk")), "");
  fs::create_directories(dir_ / "busy.lnk" / "inside");
  const std::string why = link.Save(In("busy.lnk"));
  EXPECT_NE(why.find("cannot replace"), std::string::npos) << why;
  EXPECT_TRUE(fs::is_directory(dir_ / "busy.lnk" / "inside"));
  std::ofstream(In("old.lnk")) << "old";
  ASSERT_EQ(link.Save(In("old.lnk")), "");
  EXPECT_EQ(lnktest::ReadBytes(In("old.lnk")), link.Bytes());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}
