// Readers of the system files' formats, without any file access: each takes
// a file's contents and returns what the probe needs from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qdvsetup {

// The value of `key` in an os-release file, unquoted and unescaped the way a
// shell reads it; nothing when the key is absent.
std::optional<std::string> osReleaseValue(std::string_view contents, std::string_view key);

// The first two numbers of a kernel release ("6.1.0-18-amd64": 6 and 1); a
// number that is absent or too large reads as 0.
struct KernelVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};
KernelVersion kernelVersion(std::string_view release);

// The value of a "Name:   number kB" line of /proc/meminfo.
std::optional<std::uint64_t> meminfoValue(std::string_view contents, std::string_view name);

// One "processor" entry of /proc/cpuinfo.
struct CpuInfoEntry {
  std::optional<std::uint64_t> processor;
  std::optional<std::string> modelName;
  std::optional<std::string> vendorId;
  std::optional<std::uint64_t> family;
  std::optional<std::uint64_t> model;
  std::optional<std::uint64_t> stepping;
  std::optional<std::uint64_t> megahertz;  // "cpu MHz", nearest
  std::string flags;
};
std::vector<CpuInfoEntry> parseCpuInfo(std::string_view contents);

// A CPU list such as "0-3,8,10-11": how many CPUs and the last one.
struct CpuList {
  std::uint32_t count = 0;
  std::uint32_t last = 0;
};
// Larger lists are taken as unreadable.
inline constexpr std::uint32_t kMaxCpuListEntries = 8192;
std::optional<CpuList> parseCpuList(std::string_view text);

// A USB version attribute (" 2.00"): the major and minor numbers.
struct UsbVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
};
std::optional<UsbVersion> parseUsbVersion(std::string_view text);

// The vendor and device names of a PCI device from the pci.ids database.
struct PciNames {
  std::string vendor;
  std::string device;
};
std::optional<PciNames> pciDeviceNames(std::string_view pciIds, std::uint32_t vendor,
                                       std::uint32_t device);

// The size in bytes of the largest memory region of a PCI device's
// "resource" file; nothing when it has none.
std::optional<std::uint64_t> largestMemoryRegion(std::string_view resource);

}  // namespace qdvsetup
