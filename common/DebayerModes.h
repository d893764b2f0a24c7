// The demosaicing menu items both programs show, one table indexed by the
// display method (the imaging library's DebayerFamily, DEBAYER_MONO = 0 ..
// DEBAYER_PREVIEW = 7): each item's object name and caption. Item i takes the
// shortcut Alt+i; each form attaches its own handlers.
#ifndef COMMON_DEBAYERMODES_H
#define COMMON_DEBAYERMODES_H

#include <iterator>

struct TDebayerModeItem {
  const char* name;
  const char* caption;
};

inline constexpr TDebayerModeItem DebayerModeItems[] = {
    {"mDebayerMono", "Debayer:Mono"},           {"mDebayerBayer", "Debayer:Bayer"},
    {"mDebayerNearest", "Debayer:Nearest"},     {"mDebayerBin2x2", "Debayer:Bin2x2"},
    {"mDebayerBilinear", "Debayer:Bilinear"},   {"mDebayerAdaptive", "Debayer:Adaptive"},
    {"mDebayerLaplacian", "Debayer:Laplacian"}, {"mDebayerPreview", "Debayer:Preview"},
};

static_assert(std::size(DebayerModeItems) == 8);

#endif
