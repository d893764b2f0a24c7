#include "installer/dll/src/SystemProbe.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "installer/dll/src/SystemFacts.h"
#include "installer/dll/src/SystemFiles.h"
#include "installer/dll/src/Text.h"
#include "installer/dll/src/Trace.h"

namespace qdvsetup {
namespace {

namespace fs = std::filesystem;

// What a step reports when its source cannot be read (WBEM_E_FAILED).
constexpr std::int32_t kQueryFailed = static_cast<std::int32_t>(0x80041001u);

// PCI device ids of Intel gigabit network controllers, tested in this order.
constexpr std::array<std::uint16_t, 51> kIntelGigabitDeviceIds{
    0x1000, 0x1001, 0x1004, 0x1008, 0x1009, 0x100C, 0x100D, 0x100E, 0x100F, 0x1010, 0x1011,
    0x1012, 0x1013, 0x1014, 0x1015, 0x1016, 0x1017, 0x1018, 0x1019, 0x101A, 0x1026, 0x1027,
    0x105E, 0x105F, 0x1060, 0x1075, 0x1076, 0x1079, 0x107A, 0x107B, 0x107C, 0x107D, 0x107E,
    0x107F, 0x108A, 0x108B, 0x1099, 0x109A, 0x10A0, 0x10A1, 0x10A4, 0x10A5, 0x10B0, 0x10B2,
    0x10B3, 0x10B4, 0x10B5, 0x10B6, 0x10B9, 0x10BC, 0x1107};
constexpr std::uint32_t kIntelVendor = 0x8086;
constexpr std::uint32_t kViaVendor = 0x1106;
constexpr std::uint32_t kDisplayClass = 0x03;
constexpr std::uint64_t kGigabit = 1000;  // Mbit/s

// The files of the system being probed, below its root directory.
class SystemTree {
 public:
  explicit SystemTree(fs::path root) : root_(std::move(root)) {}

  fs::path path(std::string_view relative) const { return root_ / relative; }

  // A query's source: traced, then read or listed.
  std::optional<std::string> query(std::string_view relative) const {
    traceQuery(relative);
    return readFile(path(relative));
  }
  DirectoryListing queryDirectory(std::string_view relative) const {
    traceQuery(relative);
    return listDirectory(path(relative));
  }

  // The device tree that every bus and class directory links into.
  bool hasDevices() const { return isDirectory(path("sys/devices")); }

 private:
  static void traceQuery(std::string_view relative) {
    traceMessage(L"doQuery(%ls) \n", toWide(relative).c_str());
  }
  fs::path root_;
};

std::int32_t queryFailed() {
  traceMessage(L"Query faled! \n");
  return kQueryFailed;
}

void traceDataFollows() { traceMessage(L"Get the data from the query. \n"); }

// One property of the object being read, traced under its property name.
void dumpText(const wchar_t* name, std::string_view value) {
  traceMessage(L"%ls:%ls \n", name, toWide(value).c_str());
}
void dumpNumber(const wchar_t* name, std::uint64_t value) {
  traceMessage(L"%ls:%llu \n", name, static_cast<unsigned long long>(value));
}

std::optional<std::uint64_t> readDecimal(const fs::path& path) {
  const auto text = readFile(path);
  return text ? parseDecimal(*text) : std::nullopt;
}

std::optional<std::uint64_t> readHex(const fs::path& path) {
  const auto text = readFile(path);
  return text ? parseHex(*text) : std::nullopt;
}

// ---- Operating system ----

// PRETTY_NAME of the distribution's os-release file, "Linux" without one.
std::string osCaption(const SystemTree& tree) {
  for (const std::string_view file : {"etc/os-release", "usr/lib/os-release"}) {
    if (const auto contents = tree.query(file)) {
      return osReleaseValue(*contents, "PRETTY_NAME").value_or("Linux");
    }
  }
  return "Linux";
}

std::int32_t queryOS(SystemInfo& info, const SystemTree& tree) {
  const auto release = tree.query("proc/sys/kernel/osrelease");
  if (!release) {
    return queryFailed();
  }
  traceDataFollows();
  const std::string caption = osCaption(tree);
  const std::string_view version = trim(*release);
  const auto meminfo = tree.query("proc/meminfo");
  const std::uint64_t memoryKB = meminfo ? meminfoValue(*meminfo, "MemTotal").value_or(0) : 0;

  dumpText(L"Caption", caption);
  dumpText(L"Version", version);
  dumpNumber(L"ServicePackMajorVersion", 0);
  dumpNumber(L"TotalVisibleMemorySize", memoryKB);
  copyField(info.osCaption, caption);
  copyField(info.osVersion, version);
  info.servicePack = 0;
  info.memoryMB = saturate32(memoryKB / 1024);
  const KernelVersion numbers = kernelVersion(version);
  info.osMajor = numbers.major;
  info.osMinor = numbers.minor;
  traceMessage(L"\n===> %u.%u SP%u , Memory %u MB\n\n", info.osMajor, info.osMinor,
               info.servicePack, info.memoryMB);
  return 0;
}

// ---- Processors ----

// The CPUs the kernel has online, when /proc/cpuinfo lists none.
std::optional<CpuList> onlineCpus(const SystemTree& tree) {
  const auto online = tree.query("sys/devices/system/cpu/online");
  return online ? parseCpuList(*online) : std::nullopt;
}

// The highest clock of a CPU in MHz: its cpufreq limit, else what cpuinfo says.
std::optional<std::uint64_t> cpuClockMHz(const SystemTree& tree, std::optional<std::uint64_t> cpu,
                                         std::optional<std::uint64_t> cpuinfoMHz) {
  if (cpu) {
    const std::string file =
        "sys/devices/system/cpu/cpu" + std::to_string(*cpu) + "/cpufreq/cpuinfo_max_freq";
    if (const auto kHz = readDecimal(tree.path(file))) {
      return *kHz / 1000;
    }
  }
  return cpuinfoMHz;
}

std::string cpuCaption(const CpuInfoEntry& cpu) {
  if (!cpu.family || !cpu.model || !cpu.stepping) {
    return {};
  }
  return "x86_64 Family " + std::to_string(*cpu.family) + " Model " + std::to_string(*cpu.model) +
         " Stepping " + std::to_string(*cpu.stepping);
}

// What the probe takes from the processor list: how many there are and the
// last one, whose details stand for all.
struct Processors {
  std::uint64_t count = 0;
  CpuInfoEntry last;
  std::optional<std::uint64_t> lastNumber;
};

// The processors cpuinfo lists, else those the kernel has online.
Processors findProcessors(const std::vector<CpuInfoEntry>& cpus, const SystemTree& tree) {
  Processors found;
  if (!cpus.empty()) {
    found.count = cpus.size();
    found.last = cpus.back();
    found.lastNumber = found.last.processor;
  } else if (const auto online = onlineCpus(tree)) {
    found.count = online->count;
    found.lastNumber = online->last;
  }
  return found;
}

std::int32_t queryCPU(SystemInfo& info, const SystemTree& tree) {
  const auto cpuinfo = tree.query("proc/cpuinfo");
  if (!cpuinfo) {
    return queryFailed();
  }
  traceDataFollows();
  const Processors cpus = findProcessors(parseCpuInfo(*cpuinfo), tree);
  const std::string name = cpus.last.modelName.value_or("");
  const std::string manufacturer = cpus.last.vendorId.value_or("");
  const std::string caption = cpuCaption(cpus.last);
  const auto clock = cpuClockMHz(tree, cpus.lastNumber, cpus.last.megahertz);

  dumpText(L"Name", name);
  dumpText(L"Manufacturer", manufacturer);
  dumpText(L"Caption", caption);
  dumpNumber(L"NumberOfLogicalProcessors", cpus.count);
  if (clock) {
    dumpNumber(L"MaxClockSpeed", *clock);
  }
  copyField(info.cpuName, name);
  copyField(info.cpuManufacturer, manufacturer);
  copyField(info.cpuCaption, caption);
  info.cpuCount = cpus.count == 0 ? 1 : saturate32(cpus.count);
  info.cpuClockMHz = saturate32(clock.value_or(0));
  traceMessage(L"\n===> %u CPU(s), Freq %u Mhz\n\n", info.cpuCount, info.cpuClockMHz);
  return 0;
}

// ---- USB host controllers ----

struct UsbController {
  bool usb2 = false;  // has a root hub of USB 2.0 or later
  bool usb3 = false;  // has a root hub of USB 3.x
};

// Controllers by their device directory, from the root hubs ("usbN") among
// the USB devices: an xHCI controller has two root hubs (USB 2.0 and USB 3.x)
// and is one controller.
std::map<fs::path, UsbController> findUsbControllers(const std::vector<std::string>& devices,
                                                     const SystemTree& tree) {
  std::map<fs::path, UsbController> controllers;
  for (const std::string& name : devices) {
    if (name.rfind("usb", 0) != 0) {
      continue;  // not a root hub
    }
    const auto hub = resolvePath(tree.path("sys/bus/usb/devices") / name);
    const auto versionText = hub ? readFile(*hub / "version") : std::nullopt;
    const auto version = versionText ? parseUsbVersion(*versionText) : std::nullopt;
    if (!version) {
      continue;
    }
    dumpText(L"Antecedent", hub->parent_path().native());
    dumpText(L"Dependent", name + " " + std::string(trim(*versionText)));
    UsbController& controller = controllers[hub->parent_path()];
    controller.usb2 = controller.usb2 || version->major >= 2;
    controller.usb3 = controller.usb3 || version->major >= 3;
  }
  return controllers;
}

std::int32_t queryUSB(SystemInfo& info, const SystemTree& tree) {
  if (!tree.hasDevices()) {
    return queryFailed();
  }
  const DirectoryListing devices = tree.queryDirectory("sys/bus/usb/devices");
  if (devices.state == ListingState::Failed) {
    return queryFailed();
  }
  traceDataFollows();
  const auto controllers = findUsbControllers(devices.names, tree);
  std::uint32_t usb3Count = 0;
  for (const auto& [path, controller] : controllers) {
    if (controller.usb2) {
      ++info.usb2Hosts;
      usb3Count += controller.usb3 ? 1 : 0;
      info.usbViaHosts += readHex(path / "vendor") == kViaVendor ? 1 : 0;
    }
  }
  traceMessage(L"\n===> %u USB2.0 card(s), %u USB3.0 card(s), VIA based - %u\n\n", info.usb2Hosts,
               usb3Count, info.usbViaHosts);
  return 0;
}

// ---- PCI devices: video controllers and Intel gigabit adapters ----

struct PciDevice {
  std::string address;
  fs::path directory;
  std::uint32_t vendor = 0;
  std::uint32_t device = 0;
  std::uint32_t classCode = 0;
};

// The PCI devices in address order, those without readable ids left out;
// nothing when the devices cannot be listed.
std::optional<std::vector<PciDevice>> queryPciDevices(const SystemTree& tree) {
  if (!tree.hasDevices()) {
    return std::nullopt;
  }
  const DirectoryListing listing = tree.queryDirectory("sys/bus/pci/devices");
  if (listing.state == ListingState::Failed) {
    return std::nullopt;
  }
  std::vector<PciDevice> devices;
  for (const std::string& address : listing.names) {
    PciDevice device{address, tree.path("sys/bus/pci/devices") / address};
    const auto vendor = readHex(device.directory / "vendor");
    const auto id = readHex(device.directory / "device");
    const auto classCode = readHex(device.directory / "class");
    if (vendor && id && classCode && *vendor <= 0xFFFF && *id <= 0xFFFF && *classCode <= 0xFFFFFF) {
      device.vendor = static_cast<std::uint32_t>(*vendor);
      device.device = static_cast<std::uint32_t>(*id);
      device.classCode = static_cast<std::uint32_t>(*classCode);
      devices.push_back(std::move(device));
    }
  }
  return devices;
}

std::string hexId(std::uint32_t id, bool upper) {
  char text[8];
  std::snprintf(text, sizeof text, upper ? "%04X" : "%04x", id);
  return text;
}

// The adapter's name from the PCI id database, else "vvvv:dddd".
std::string videoCaption(const std::optional<std::string>& pciIds, const PciDevice& device) {
  const auto names = pciIds ? pciDeviceNames(*pciIds, device.vendor, device.device) : std::nullopt;
  if (!names) {
    return hexId(device.vendor, false) + ":" + hexId(device.device, false);
  }
  return names->vendor.empty() ? names->device : names->vendor + " " + names->device;
}

// Video memory in bytes: what the driver reports, else the largest memory
// window the adapter decodes.
std::optional<std::uint64_t> videoMemory(const PciDevice& device) {
  if (const auto vram = readDecimal(device.directory / "mem_info_vram_total")) {
    return vram;
  }
  const auto resource = readFile(device.directory / "resource");
  return resource ? largestMemoryRegion(*resource) : std::nullopt;
}

std::int32_t queryVideo(SystemInfo& info, const SystemTree& tree) {
  const auto devices = queryPciDevices(tree);
  if (!devices) {
    return queryFailed();
  }
  traceDataFollows();
  std::optional<std::string> pciIds;
  bool pciIdsRead = false;
  info.videoCount = 0;
  for (const PciDevice& device : *devices) {
    if (device.classCode >> 16 != kDisplayClass) {
      continue;
    }
    if (info.videoCount == QDVSETUP_MAX_VIDEO_ADAPTERS) {
      break;  // callers index videoAdapters by videoCount
    }
    if (!pciIdsRead) {
      pciIds = tree.query("usr/share/misc/pci.ids");
      pciIdsRead = true;
    }
    const std::string caption = videoCaption(pciIds, device);
    const std::optional<std::uint64_t> memory = videoMemory(device);
    dumpText(L"Caption", caption);
    if (memory) {
      dumpNumber(L"AdapterRAM", *memory);
    }
    dumpText(L"DeviceID", device.address);
    VideoAdapterInfo& adapter = info.videoAdapters[info.videoCount];
    copyField(adapter.caption, caption);
    adapter.memoryMB = saturate32(memory.value_or(0) >> 20);
    ++info.videoCount;
  }
  traceMessage(L"\n===> %u videocard(s) \n\n", info.videoCount);
  return 0;
}

bool isIntelGigabit(const PciDevice& device) {
  if (device.vendor != kIntelVendor) {
    return false;
  }
  for (const std::uint16_t id : kIntelGigabitDeviceIds) {
    if (device.device == id) {
      return true;
    }
  }
  return false;
}

std::int32_t queryIntelNics(SystemInfo& info, const SystemTree& tree) {
  const auto devices = queryPciDevices(tree);
  if (!devices) {
    return queryFailed();
  }
  traceDataFollows();
  for (const PciDevice& device : *devices) {
    if (isIntelGigabit(device)) {
      dumpText(L"PNPDeviceID",
               "PCI\\VEN_" + hexId(device.vendor, true) + "&DEV_" + hexId(device.device, true));
      ++info.intelGigabitNics;
    }
  }
  traceMessage(L"\n===> %u Intel 1000 Pro Gigabit network adapter(s) \n\n", info.intelGigabitNics);
  return 0;
}

// ---- Network link speed ----

std::int32_t queryLinkSpeed(SystemInfo& info, const SystemTree& tree) {
  const DirectoryListing interfaces = tree.queryDirectory("sys/class/net");
  if (interfaces.state != ListingState::Listed) {
    return queryFailed();
  }
  traceDataFollows();
  for (const std::string& name : interfaces.names) {
    const fs::path directory = tree.path("sys/class/net") / name;
    if (!isPresent(directory / "device")) {
      continue;  // a virtual interface
    }
    // Unknown speed (-1) or a link that is down (the read fails) is not counted.
    const std::optional<std::uint64_t> mbits = readDecimal(directory / "speed");
    dumpText(L"InstanceName", name);
    if (mbits && *mbits <= UINT64_MAX / 10000) {
      dumpNumber(L"NdisLinkSpeed", *mbits * 10000);  // in units of 100 bit/s
    }
    info.gigabitNics += mbits && *mbits >= kGigabit ? 1 : 0;
  }
  traceMessage(L"\n===> %u Gigabit network adapter(s) \n\n", info.gigabitNics);
  return 0;
}

// ---- The steps ----

struct ProbeStep {
  const wchar_t* announcement;  // traced before the step, when there is one
  std::int32_t (*run)(SystemInfo&, const SystemTree&);
  const wchar_t* failure;  // traced with the step's result when it fails
};

constexpr std::array<ProbeStep, 6> kSteps{{
    {L"Get OS information. \n", queryOS, L"Could not get OS information. Error code = %08Xh \n"},
    {L"Get CPU information. \n", queryCPU, L"Could not get CPU information. Error code = %08Xh \n"},
    {L"Get USB2.0 information. \n", queryUSB,
     L"Could not get USB2.0 information. Error code = %08Xh \n"},
    {L"Get Video information. \n", queryVideo,
     L"Could not get Video information. Error code = %08Xh \n"},
    {nullptr, queryIntelNics,
     L"Could not get Intel 1000 Pro Network card link speed information. Error code = %08Xh \n"},
    {L"Get Network card link speed information. \n", queryLinkSpeed,
     L"Could not get Network card link speed information. Error code = %08Xh \n"},
}};

}  // namespace

std::int32_t probeSystem(SystemInfo& info, const std::string& root) {
  traceMessage(L"\nstart get information from WMI ... \n\n");
  std::memset(&info, 0, sizeof info);
  const SystemTree tree{fs::path(root)};
  for (const ProbeStep& step : kSteps) {
    if (step.announcement) {
      traceMessage(step.announcement);
    }
    const std::int32_t result = step.run(info, tree);
    if (result < 0) {
      traceMessage(step.failure, static_cast<unsigned>(result));
      return 1;
    }
  }
  return 0;
}

}  // namespace qdvsetup

extern "C" int32_t getSystemInfo(SystemInfo* info) {
  if (info == nullptr) {
    return 1;
  }
  return qdvsetup::probeSystem(*info, "/");
}
