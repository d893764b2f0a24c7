#include "installer/dll/tests/support_faketree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "installer/dll/src/SystemProbe.h"

namespace fs = std::filesystem;

namespace faketree {

FakeTree::FakeTree() {
  std::string pattern = (fs::temp_directory_path() / "qdvsetup-tree-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "no temporary directory";
  }
  root_ = pattern;
}

FakeTree::~FakeTree() {
  std::error_code error;
  fs::remove_all(root_, error);
}

std::string FakeTree::path(std::string_view relative) const {
  return (fs::path(root_) / relative).string();
}

void FakeTree::write(std::string_view relative, std::string_view contents) {
  const fs::path file = path(relative);
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc) << contents;
}

void FakeTree::link(std::string_view relative, std::string_view target) {
  const fs::path file = path(relative);
  fs::create_directories(file.parent_path());
  fs::create_symlink(target, file);
}

void FakeTree::makeDirectory(std::string_view relative) { fs::create_directories(path(relative)); }

void FakeTree::makeFifo(std::string_view relative) {
  const fs::path file = path(relative);
  fs::create_directories(file.parent_path());
  ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
}

void FakeTree::remove(std::string_view relative) { fs::remove_all(path(relative)); }

namespace {

std::string cpuinfoEntry(int processor, int package) {
  return "processor\t: " + std::to_string(processor) +
         "\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 158\n"
         "model name\t: Intel(R) Xeon(R) CPU E3-1275 v6 @ 3.80GHz\nstepping\t: 9\n"
         "cpu MHz\t\t: 3799.998\nphysical id\t: " +
         std::to_string(package) + "\nflags\t\t: fpu mmx sse sse2\n\n";
}

std::string hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*x\n", digits, value);
  return text;
}

}  // namespace

void FakeTree::addBasics() {
  write("etc/os-release",
        "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
  write("proc/sys/kernel/osrelease", "6.1.0-18-amd64\n");
  write("proc/meminfo", "MemTotal:        8388084 kB\nMemFree:         1234 kB\n");
  std::string cpuinfo;
  for (int cpu = 0; cpu < 8; ++cpu) {
    cpuinfo += cpuinfoEntry(cpu, cpu / 4);
  }
  write("proc/cpuinfo", cpuinfo);
  write("sys/devices/system/cpu/online", "0-7\n");
  makeDirectory("sys/class/net");
}

std::string FakeTree::addPciDevice(std::string_view address, std::uint32_t vendor,
                                   std::uint32_t device, std::uint32_t classCode) {
  const std::string directory = "sys/devices/pci0000:00/" + std::string(address);
  write(directory + "/vendor", hex(vendor, 4));
  write(directory + "/device", hex(device, 4));
  write(directory + "/class", hex(classCode, 6));
  link("sys/bus/pci/devices/" + std::string(address),
       "../../../devices/pci0000:00/" + std::string(address));
  return directory;
}

void FakeTree::addUsbHub(std::string_view controllerAddress, std::string_view hub,
                         std::string_view version) {
  const std::string directory =
      "devices/pci0000:00/" + std::string(controllerAddress) + "/" + std::string(hub);
  write("sys/" + directory + "/version", version);
  link("sys/bus/usb/devices/" + std::string(hub), "../../../" + directory);
}

void FakeTree::addInterface(std::string_view name, bool physical,
                            std::optional<std::string_view> speed) {
  const std::string directory =
      "sys/devices/" + std::string(physical ? "pci0000:00/0000:00:19.0/net/" : "virtual/net/") +
      std::string(name);
  makeDirectory(directory);
  if (speed) {
    write(directory + "/speed", *speed);
  } else {
    makeDirectory(directory + "/speed");  // a directory cannot be read as a file
  }
  if (physical) {
    link(directory + "/device", "../../../0000:00:19.0");
  }
  link("sys/class/net/" + std::string(name), "../../" + directory.substr(4));
}

ProbeResult probe(const FakeTree& tree) {
  ProbeResult probe;
  probe.info = std::make_unique<SystemInfo>();
  probe.result = qdvsetup::probeSystem(*probe.info, tree.root());
  return probe;
}

TraceCapture::TraceCapture() {
  setenv("QDVSETUP_TRACE", "1", 1);
  testing::internal::CaptureStderr();
}

TraceCapture::~TraceCapture() { finish(); }

std::string TraceCapture::finish() {
  if (finished_) {
    return {};
  }
  finished_ = true;
  unsetenv("QDVSETUP_TRACE");
  return testing::internal::GetCapturedStderr();
}

}  // namespace faketree
