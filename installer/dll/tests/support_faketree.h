// A system tree in a temporary directory, laid out like procfs and sysfs
// (device directories under sys/devices, bus and class entries as relative
// links into them), for probing without the running system.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "QDVsetup.h"

namespace faketree {

class FakeTree {
 public:
  FakeTree();
  ~FakeTree();
  FakeTree(const FakeTree&) = delete;
  FakeTree& operator=(const FakeTree&) = delete;

  const std::string& root() const { return root_; }
  std::string path(std::string_view relative) const;

  void write(std::string_view relative, std::string_view contents);
  void link(std::string_view relative, std::string_view target);
  void makeDirectory(std::string_view relative);
  void makeFifo(std::string_view relative);
  void remove(std::string_view relative);

  // Every source a successful probe needs: os-release, kernel release
  // "6.1.0-18-amd64", MemTotal 8388084 kB, two packages of four CPUs, an empty
  // device tree and an empty network class.
  void addBasics();
  // A PCI device at address "0000:00:xx.x", listed under sys/bus/pci/devices.
  // Returns its directory, relative to the root.
  std::string addPciDevice(std::string_view address, std::uint32_t vendor, std::uint32_t device,
                           std::uint32_t classCode);
  // A USB root hub of the controller at a PCI address, with its version.
  void addUsbHub(std::string_view controllerAddress, std::string_view hub,
                 std::string_view version);
  // A network interface; physical ones have a device link. speed: the
  // attribute's contents, none for an attribute that cannot be read.
  void addInterface(std::string_view name, bool physical, std::optional<std::string_view> speed);

 private:
  std::string root_;
};

// The probe's result and record over a tree.
struct ProbeResult {
  std::int32_t result = -1;
  std::unique_ptr<SystemInfo> info;
};
ProbeResult probe(const FakeTree& tree);

// Traces of the library, captured from standard error while it lives.
class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  std::string finish();

 private:
  bool finished_ = false;
};

}  // namespace faketree
