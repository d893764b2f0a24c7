// The probe over trees with hostile contents: over-long and malformed
// values, numbers out of range, files that are no regular files, link loops.
// Nothing may block, crash or write past the record.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "installer/dll/src/SystemProbe.h"
#include "installer/dll/tests/support_faketree.h"

using faketree::FakeTree;
using faketree::probe;

namespace {

TEST(Hostile, LongTextIsCutBeforeACharacterThatWouldNotFit) {
  FakeTree tree;
  tree.addBasics();
  // 254 bytes, then a two-byte character that would end at byte 256.
  const std::string name = std::string(254, 'a') + "\xC3\xA9" + std::string(44, 'b');
  tree.write("proc/cpuinfo", "processor : 0\nmodel name : " + name + "\n");
  const auto p = probe(tree);
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(std::string(p.info->cpuName), std::string(254, 'a'));
  EXPECT_EQ(p.info->cpuName[254], '\0');
  EXPECT_EQ(p.info->cpuName[255], '\0');
}

TEST(Hostile, OsReleaseQuotingEscapesAndControlCharacters) {
  struct Case {
    const char* file;
    const char* caption;
  } cases[] = {
      {"PRETTY_NAME=\"A \\\"quoted\\\" \\$name \\\\ \\x\"\n", "A \"quoted\" $name \\ \\x"},
      {"PRETTY_NAME=\"two\nlines\"\nNAME=x\n", "two?lines"},
      {"PRETTY_NAME=\"cont\\\ninued\"\n", "continued"},
      {"PRETTY_NAME='single \\ \"q\"'\r\n", "single \\ \"q\""},
      {"PRETTY_NAME=bare\\ word\n", "bare word"},
      {"PRETTY_NAME=\"esc\x1b[31mred\t\x7f\"\n", "esc?[31mred??"},
      {"PRETTY_NAME=\"bad \xff\xfe utf8 \xC2\xA0\"\n", "bad ?? utf8 \xC2\xA0"},
      {"PRETTY_NAME=\"unterminated\n", "unterminated?"},
      {"# PRETTY_NAME=comment\nPRETTY_NAME=first\nPRETTY_NAME=last\n", "last"},
      {"NAME=only\n", "Linux"},
  };
  for (const Case& c : cases) {
    FakeTree tree;
    tree.addBasics();
    tree.write("etc/os-release", c.file);
    const auto p = probe(tree);
    EXPECT_EQ(p.result, 0);
    EXPECT_STREQ(p.info->osCaption, c.caption) << c.file;
  }
}

TEST(Hostile, NumbersThatAreNotPlainDecimalsReadAsUnknown) {
  struct Case {
    const char* memTotal;
    unsigned memoryMB;
  } cases[] = {
      {"1234567890123456789012345 kB", 0},
      {"-5 kB", 0},
      {"abc kB", 0},
      {"", 0},
      {"+1024 kB", 0},
      {"18446744073709551615 kB", 0xFFFFFFFFu},
      {"1048576 kB", 1024},
  };
  for (const Case& c : cases) {
    FakeTree tree;
    tree.addBasics();
    tree.write("proc/meminfo", std::string("MemTotal:  ") + c.memTotal + "\n");
    const auto p = probe(tree);
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.info->memoryMB, c.memoryMB) << c.memTotal;
  }
}

TEST(Hostile, OnlyTheMemTotalKeyItselfGivesTheMemory) {
  FakeTree tree;
  tree.addBasics();
  tree.write("proc/meminfo", "MemTotalSwap:  4194304 kB\nMemTotal:  2097152 kB\n");
  const auto p = probe(tree);
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.info->memoryMB, 2048u);
}

TEST(Hostile, CpuListsOutOfOrderOrTooLongAreUnreadable) {
  for (const char* online : {"5-2", "0-4294967295", "0-8192", "3,", "-1", "0-3,,4", "x"}) {
    FakeTree tree;
    tree.addBasics();
    tree.write("proc/cpuinfo", "");
    tree.write("sys/devices/system/cpu/online", online);
    const auto p = probe(tree);
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.info->cpuCount, 1u) << online;
  }
}

TEST(Hostile, PciIdsWithNamelessLongAndCrLfLines) {
  FakeTree tree;
  tree.addBasics();
  tree.addPciDevice("0000:01:00.0", 0x10de, 0x1c82, 0x030000);
  tree.addPciDevice("0000:02:00.0", 0x10de, 0x1c83, 0x030000);
  tree.addPciDevice("0000:03:00.0", 0x1234, 0x1111, 0x030000);
  tree.write("usr/share/misc/pci.ids", "10de  NVIDIA Corporation\r\n\t1c82\r\n\t1c83  " +
                                           std::string(1000, 'G') +
                                           "\r\n1234\r\n\t1111  Nameless vendor's card\r\n"
                                           "\tzzzz  junk\n\t\t\n\n");
  const auto p = probe(tree);
  EXPECT_EQ(p.result, 0);
  ASSERT_EQ(p.info->videoCount, 3u);
  EXPECT_STREQ(p.info->videoAdapters[0].caption, "10de:1c82");
  EXPECT_EQ(std::string(p.info->videoAdapters[1].caption),
            ("NVIDIA Corporation " + std::string(1000, 'G')).substr(0, 255));
  EXPECT_STREQ(p.info->videoAdapters[2].caption, "Nameless vendor's card");
}

TEST(Hostile, FortyVideoControllersFillThirtyTwoEntriesAndNoMore) {
  FakeTree tree;
  tree.addBasics();
  for (int i = 0; i < 40; ++i) {
    char address[16];
    std::snprintf(address, sizeof address, "0000:%02x:00.0", i + 1);
    tree.addPciDevice(address, 0x1234, 0x1111, 0x030000);
  }
  constexpr std::size_t kGuard = 64;
  auto buffer = std::make_unique<unsigned char[]>(sizeof(SystemInfo) + kGuard);
  std::memset(buffer.get(), 0xA5, sizeof(SystemInfo) + kGuard);
  auto* info = reinterpret_cast<SystemInfo*>(buffer.get());
  EXPECT_EQ(qdvsetup::probeSystem(*info, tree.root()), 0);
  EXPECT_EQ(info->videoCount, 32u);
  EXPECT_STREQ(info->videoAdapters[31].caption, "1234:1111");
  for (std::size_t i = 0; i < kGuard; ++i) {
    ASSERT_EQ(buffer[sizeof(SystemInfo) + i], 0xA5) << "guard byte " << i;
  }
}

TEST(Hostile, FilesOfOtherKindsAreNotRead) {
  FakeTree tree;
  tree.addBasics();
  tree.remove("proc/meminfo");
  tree.makeFifo("proc/meminfo");  // would block a plain read for ever
  tree.remove("etc/os-release");
  tree.makeDirectory("etc/os-release");
  tree.addInterface("eth0", true, std::nullopt);
  tree.remove("sys/devices/pci0000:00/0000:00:19.0/net/eth0/speed");
  tree.makeFifo("sys/devices/pci0000:00/0000:00:19.0/net/eth0/speed");
  const auto p = probe(tree);
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.info->memoryMB, 0u);
  EXPECT_STREQ(p.info->osCaption, "Linux");
  EXPECT_EQ(p.info->gigabitNics, 0u);
}

TEST(Hostile, LinkLoopsEnd) {
  FakeTree tree;
  tree.addBasics();
  tree.link("sys/bus/usb/devices/usb1", "usb1");
  tree.link("sys/bus/usb/devices/usb2", "usb3");
  tree.link("sys/bus/usb/devices/usb3", "usb2");
  tree.link("sys/bus/pci/devices/0000:00:01.0", "0000:00:01.0");
  tree.link("sys/class/net/eth0", "eth0");
  const auto p = probe(tree);
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.info->usb2Hosts, 0u);
  EXPECT_EQ(p.info->videoCount, 0u);
  EXPECT_EQ(p.info->gigabitNics, 0u);
}

}  // namespace
