// The system probe over prepared trees: each record field from its source,
// counting rules, the order of steps and what a failing step leaves.
#include <gtest/gtest.h>

#include <string>

#include "QDVsetup.h"
#include "installer/dll/tests/support_faketree.h"

using faketree::FakeTree;
using faketree::probe;
using faketree::TraceCapture;

namespace {

// The positions of the texts in the trace, each after the one before.
void ExpectInOrder(const std::string& trace, std::initializer_list<const char*> texts) {
  std::size_t pos = 0;
  for (const char* text : texts) {
    const std::size_t found = trace.find(text, pos);
    ASSERT_NE(found, std::string::npos) << "missing in order: " << text << "\n" << trace;
    pos = found + 1;
  }
}

TEST(Probe, BasicTreeFillsOsMemoryAndProcessors) {
  FakeTree tree;
  tree.addBasics();
  tree.write("sys/devices/system/cpu/cpu7/cpufreq/cpuinfo_max_freq", "4200000\n");
  const auto p = probe(tree);
  EXPECT_EQ(p.result, 0);
  EXPECT_STREQ(p.info->osCaption, "Debian GNU/Linux 12 (bookworm)");
  EXPECT_STREQ(p.info->osVersion, "6.1.0-18-amd64");
  EXPECT_EQ(p.info->osMajor, 6u);
  EXPECT_EQ(p.info->osMinor, 1u);
  EXPECT_EQ(p.info->servicePack, 0u);
  EXPECT_EQ(p.info->memoryMB, 8191u);  // 8,388,084 kB / 1024
  EXPECT_EQ(p.info->cpuCount, 8u);     // two packages of four
  EXPECT_STREQ(p.info->cpuName, "Intel(R) Xeon(R) CPU E3-1275 v6 @ 3.80GHz");
  EXPECT_STREQ(p.info->cpuManufacturer, "GenuineIntel");
  EXPECT_STREQ(p.info->cpuCaption, "x86_64 Family 6 Model 158 Stepping 9");
  EXPECT_EQ(p.info->cpuClockMHz, 4200u);
  EXPECT_EQ(p.info->videoCount, 0u);
  EXPECT_EQ(p.info->usb2Hosts, 0u);
}

TEST(Probe, ProcessorFallbacks) {
  struct Case {
    const char* cpuinfo;
    const char* online;  // nullptr: absent
    unsigned count, clock;
  } cases[] = {
      {"", "0-3\n", 4, 0},
      {"", "0,2-3,8\n", 4, 0},
      {"", nullptr, 1, 0},
      {"processor : 0\ncpu MHz : 2599.500\n", "0-7", 1, 2600},  // halves to even
      {"processor : 0\ncpu MHz : 2598.500\n", nullptr, 1, 2598},
      {"processor : 0\ncpu MHz : 2598.501\n", nullptr, 1, 2599},
      {"processor : 0\ncpu MHz : inf\n", nullptr, 1, 0},
      {"processor : 0\ncpu MHz : 2598,5\n", nullptr, 1, 0},
      {"processor : 0\ncpu MHz : -1.0\n", nullptr, 1, 0},
  };
  for (const Case& c : cases) {
    FakeTree tree;
    tree.addBasics();
    tree.write("proc/cpuinfo", c.cpuinfo);
    tree.remove("sys/devices/system/cpu/online");
    if (c.online) {
      tree.write("sys/devices/system/cpu/online", c.online);
    }
    const auto p = probe(tree);
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.info->cpuCount, c.count) << c.cpuinfo << " / " << (c.online ? c.online : "-");
    EXPECT_EQ(p.info->cpuClockMHz, c.clock) << c.cpuinfo;
  }
}

TEST(Probe, UsbControllersCountOnceByRootHubVersion) {
  FakeTree tree;
  tree.addBasics();
  tree.addUsbHub("0000:00:14.0", "usb1", " 2.00\n");  // xHCI: a 2.0 and a 3.0 hub
  tree.addUsbHub("0000:00:14.0", "usb2", " 3.00\n");
  tree.addUsbHub("0000:00:1a.0", "usb3", " 1.10\n");  // USB 1.1: not counted
  tree.addUsbHub("0000:00:1d.0", "usb4", " 2.00\n");  // a VIA EHCI controller
  tree.write("sys/devices/pci0000:00/0000:00:1d.0/vendor", "0x1106\n");
  tree.write("sys/devices/pci0000:00/0000:00:14.0/1-0:1.0/bInterfaceClass", "09\n");
  tree.link("sys/bus/usb/devices/1-0:1.0", "../../../devices/pci0000:00/0000:00:14.0/1-0:1.0");
  TraceCapture capture;
  const auto p = probe(tree);
  const std::string trace = capture.finish();
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.info->usb2Hosts, 2u);
  EXPECT_EQ(p.info->usbViaHosts, 1u);
  EXPECT_NE(trace.find("\n===> 2 USB2.0 card(s), 1 USB3.0 card(s), VIA based - 1\n\n"),
            std::string::npos)
      << trace;
}

TEST(Probe, VideoAdaptersInAddressOrderWithNameAndMemory) {
  FakeTree tree;
  tree.addBasics();
  const std::string amd = tree.addPciDevice("0000:03:00.0", 0x1002, 0x67df, 0x030000);
  tree.write(amd + "/mem_info_vram_total", "268435456\n");
  const std::string intel = tree.addPciDevice("0000:00:02.0", 0x8086, 0x3e92, 0x030000);
  tree.write(intel + "/resource",
             "0x00000000f6000000 0x00000000f6ffffff 0x0000000000140204\n"
             "0x00000000e0000000 0x00000000efffffff 0x000000000014220c\n"
             "0x000000000000f000 0x000000000000f03f 0x0000000000040101\n"
             "0x0000000000000000 0x0000000000000000 0x0000000000000000\n");
  tree.addPciDevice("0000:00:1f.3", 0x8086, 0xa348, 0x040300);  // audio: not video
  tree.write("usr/share/misc/pci.ids",
             "# comment\n8086  Intel Corporation\n\t3e92  CoffeeLake-S GT2 [UHD Graphics 630]\n"
             "\t\t1028 0869  subsystem\n1002  Advanced Micro Devices, Inc. [AMD/ATI]\n"
             "C 03  Display controller\n\t00  VGA compatible controller\n");
  const auto p = probe(tree);
  EXPECT_EQ(p.result, 0);
  ASSERT_EQ(p.info->videoCount, 2u);
  EXPECT_STREQ(p.info->videoAdapters[0].caption,
               "Intel Corporation CoffeeLake-S GT2 [UHD Graphics 630]");
  EXPECT_EQ(p.info->videoAdapters[0].memoryMB, 256u);           // the 256 MiB window
  EXPECT_STREQ(p.info->videoAdapters[1].caption, "1002:67df");  // device not in the list
  EXPECT_EQ(p.info->videoAdapters[1].memoryMB, 256u);           // 268,435,456 bytes
}

TEST(Probe, IntelGigabitAdaptersAndLinkSpeeds) {
  FakeTree tree;
  tree.addBasics();
  tree.addPciDevice("0000:00:19.0", 0x8086, 0x10b9, 0x020000);  // listed id
  tree.addPciDevice("0000:02:00.0", 0x8086, 0x1533, 0x020000);  // not listed
  tree.addPciDevice("0000:03:00.0", 0x10ec, 0x10b9, 0x020000);  // other vendor
  tree.addPciDevice("0000:04:00.0", 0x8086, 0x1107, 0x020000);  // last listed id
  tree.addInterface("eth0", true, "1000\n");
  tree.addInterface("eth1", true, "999\n");
  tree.addInterface("eth2", true, "-1\n");
  tree.addInterface("eth3", true, "");
  tree.addInterface("eth4", true, "1e3\n");
  tree.addInterface("eth5", true, std::nullopt);  // link down: the read fails
  tree.addInterface("eth6", true, "10000\n");
  tree.addInterface("veth0", false, "10000\n");  // virtual: no device link
  const auto p = probe(tree);
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.info->intelGigabitNics, 2u);
  EXPECT_EQ(p.info->gigabitNics, 2u);
}

TEST(Probe, StepsRunInOrderWithTheirTraces) {
  FakeTree tree;
  tree.addBasics();
  TraceCapture capture;
  EXPECT_EQ(probe(tree).result, 0);
  ExpectInOrder(capture.finish(),
                {"\nstart get information from WMI ... \n\n", "Get OS information. \n",
                 "doQuery(proc/sys/kernel/osrelease) \n", "Get the data from the query. \n",
                 "Caption:Debian GNU/Linux 12 (bookworm) \n", "Version:6.1.0-18-amd64 \n",
                 "TotalVisibleMemorySize:8388084 \n", "\n===> 6.1 SP0 , Memory 8191 MB\n\n",
                 "Get CPU information. \n", "NumberOfLogicalProcessors:8 \n",
                 "\n===> 8 CPU(s), Freq 3800 Mhz\n\n", "Get USB2.0 information. \n",
                 "Get Video information. \n", "\n===> 0 videocard(s) \n\n",
                 "\n===> 0 Intel 1000 Pro Gigabit network adapter(s) \n\n",
                 "Get Network card link speed information. \n", "doQuery(sys/class/net) \n",
                 "\n===> 0 Gigabit network adapter(s) \n\n"});
}

// A failing step ends the probe with result 1; the fields of the steps
// before it keep their values.
TEST(Probe, FailingStepStopsTheProbe) {
  struct Case {
    const char* name;
    void (*breakTree)(FakeTree&);
    const char* message;
    bool osFilled, cpuFilled, videoFilled;
  } cases[] = {
      {"no kernel release", [](FakeTree& t) { t.remove("proc/sys/kernel/osrelease"); },
       "Could not get OS information. Error code = 80041001h \n", false, false, false},
      {"cpuinfo a dangling link",
       [](FakeTree& t) {
         t.remove("proc/cpuinfo");
         t.link("proc/cpuinfo", "nowhere");
       },
       "Could not get CPU information. Error code = 80041001h \n", true, false, false},
      {"no device tree", [](FakeTree& t) { t.remove("sys/devices"); },
       "Could not get USB2.0 information. Error code = 80041001h \n", true, true, false},
      {"PCI devices not a directory",
       [](FakeTree& t) {
         t.remove("sys/bus/pci/devices");
         t.write("sys/bus/pci/devices", "");
       },
       "Could not get Video information. Error code = 80041001h \n", true, true, false},
      {"no network class", [](FakeTree& t) { t.remove("sys/class/net"); },
       "Could not get Network card link speed information. Error code = 80041001h \n", true, true,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeTree tree;
    tree.addBasics();
    tree.addPciDevice("0000:00:02.0", 0x8086, 0x3e92, 0x030000);
    c.breakTree(tree);
    TraceCapture capture;
    const auto p = probe(tree);
    const std::string trace = capture.finish();
    EXPECT_EQ(p.result, 1);
    ExpectInOrder(trace, {"Query faled! \n", c.message});
    EXPECT_EQ(trace.find("Get the data", trace.find("Query faled!")), std::string::npos)
        << "a step ran after the failure";
    EXPECT_EQ(p.info->memoryMB, c.osFilled ? 8191u : 0u);
    EXPECT_EQ(p.info->cpuCount, c.cpuFilled ? 8u : 0u);
    EXPECT_EQ(p.info->videoCount, c.videoFilled ? 1u : 0u);
  }
}

TEST(Probe, MissingBusesMeanNoDevices) {
  FakeTree tree;
  tree.addBasics();  // no sys/bus at all, no pci.ids, no os-release in etc
  tree.remove("etc/os-release");
  tree.write("usr/lib/os-release", "PRETTY_NAME='Fallback OS'\n");
  const auto p = probe(tree);
  EXPECT_EQ(p.result, 0);
  EXPECT_STREQ(p.info->osCaption, "Fallback OS");
  tree.remove("usr/lib/os-release");
  EXPECT_STREQ(probe(tree).info->osCaption, "Linux");
}

TEST(Probe, NullRecordIsRefused) { EXPECT_EQ(getSystemInfo(nullptr), 1); }

}  // namespace
