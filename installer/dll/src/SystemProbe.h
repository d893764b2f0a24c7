// The system probe behind getSystemInfo: facts read from the files the kernel
// and the distribution provide, below a root directory ("/" for the running
// system, a prepared tree in tests).
#pragma once

#include <cstdint>
#include <string>

#include "QDVsetup.h"

namespace qdvsetup {

// Zero-fills info, then runs the probe's steps in order, each only when every
// step before it succeeded; 0 when all succeeded, 1 otherwise.
std::int32_t probeSystem(SystemInfo& info, const std::string& root);

}  // namespace qdvsetup
