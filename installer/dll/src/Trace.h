// The library's only output: diagnostic messages for whoever debugs an
// installation. They go to standard error as UTF-8 when the environment
// variable QDVSETUP_TRACE is set, and are discarded otherwise.
#pragma once

#include <cstddef>

namespace qdvsetup {

// Longest message in wide characters; a longer one is cut to this length.
inline constexpr std::size_t kTraceMessageMax = 255;

}  // namespace qdvsetup

// Formats a message by the wide printf rules (strings as %ls) with numbers in
// the C locale, keeps its first 255 characters and emits it.
void traceMessage(const wchar_t* format, ...);
