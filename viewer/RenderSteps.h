// The viewer's render steps that need no form: zoom codes, display sizes,
// the per-channel RAW tables and the gain tables.
#ifndef VIEWER_RENDERSTEPS_H
#define VIEWER_RENDERSTEPS_H

#include <cstdint>

// A code the viewer draws with (-4, -3, -2, 1, 2, 3, 4: the steps of
// Zoom.h up to ViewerZoomCodeLargest); any other is 1.
std::int32_t ValidZoom(std::int32_t code);
// Drawn length of an image side under a zoom code, as its step scales it
// (truncating); never beyond Qt's largest widget size.
std::int64_t DisplayExtent(std::int64_t extent, std::int32_t code);

// Per-channel RAW tables on a GBRG mosaic, in place: in even rows the even
// columns are green and the odd ones blue, in odd rows the even columns are
// red and the odd ones green. Each sample goes through the table of its
// colour; an odd last row or column is mapped by the same rule, and nothing
// outside width x height is touched. The tables must cover every sample
// value in the frame.
void ApplyRAWChannelTables(std::uint16_t* frame, std::int32_t width, std::int32_t height,
                           const std::uint16_t* blue, const std::uint16_t* green,
                           const std::uint16_t* red);

// A table whose entry i is trunc(i x gain + 0.5) clamped to 0..maxValue, for
// i in 0..maxValue.
void BuildGainTable(std::uint16_t* table, std::int32_t maxValue, double gain);

#endif
