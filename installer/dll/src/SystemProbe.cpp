#include "SystemProbe.h"

#include <cstring>

#include "Trace.h"

namespace qdvsetup {

std::int32_t probeSystem(SystemInfo& info, const std::string& root) {
  (void)root;
  std::memset(&info, 0, sizeof info);
  return 1;
}

}  // namespace qdvsetup

extern "C" int32_t getSystemInfo(SystemInfo* info) {
  if (info == nullptr) {
    return 1;
  }
  return qdvsetup::probeSystem(*info, "/");
}
