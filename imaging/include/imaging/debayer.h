/* Demosaic members: Debayer<Family>_<format>_<phase>.
 *
 * Eight families, each with sixteen members (four pixel formats by four
 * colour orders of the 2 x 2 filter cell). Every member returns 1 when done
 * and 0 when refused; a refused call writes nothing.
 *   8to24 : Raw8Frame  -> RGB24Image (B, G, R)
 *   8to32 : Raw8Frame  -> RGB32Image (B, G, R, 0)
 *   16to48: Raw16Frame -> RGB48Image (B, G, R as u16, unscaled)
 *   16to64: Raw16Frame -> RGB64Image (B, G, R, 0 as u16, unscaled)
 */
#ifndef IMAGING_DEBAYER_H
#define IMAGING_DEBAYER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define IMAGING_DECLARE_DEBAYER_PHASE(Family, phase)                                           \
  int32_t Debayer##Family##_8to24_##phase(const uint8_t* src, int32_t width, int32_t height,   \
                                          uint8_t* dst);                                       \
  int32_t Debayer##Family##_8to32_##phase(const uint8_t* src, int32_t width, int32_t height,   \
                                          uint8_t* dst);                                       \
  int32_t Debayer##Family##_16to48_##phase(const uint16_t* src, int32_t width, int32_t height, \
                                           uint16_t* dst);                                     \
  int32_t Debayer##Family##_16to64_##phase(const uint16_t* src, int32_t width, int32_t height, \
                                           uint16_t* dst);

#define IMAGING_DECLARE_DEBAYER_FAMILY(Family) \
  IMAGING_DECLARE_DEBAYER_PHASE(Family, RGGB)  \
  IMAGING_DECLARE_DEBAYER_PHASE(Family, GRBG)  \
  IMAGING_DECLARE_DEBAYER_PHASE(Family, GBRG)  \
  IMAGING_DECLARE_DEBAYER_PHASE(Family, BGGR)

IMAGING_DECLARE_DEBAYER_FAMILY(Mono)
IMAGING_DECLARE_DEBAYER_FAMILY(Bayer)
IMAGING_DECLARE_DEBAYER_FAMILY(Nearest)
IMAGING_DECLARE_DEBAYER_FAMILY(Bin2x2)
IMAGING_DECLARE_DEBAYER_FAMILY(Bilinear)
IMAGING_DECLARE_DEBAYER_FAMILY(Adaptive)
IMAGING_DECLARE_DEBAYER_FAMILY(Laplacian)
IMAGING_DECLARE_DEBAYER_FAMILY(Preview)

/* DebayerMode: the display method, 0 to 7, in this order. */
enum DebayerFamily {
  DEBAYER_MONO = 0,
  DEBAYER_BAYER = 1,
  DEBAYER_NEAREST = 2,
  DEBAYER_BIN2X2 = 3,
  DEBAYER_BILINEAR = 4,
  DEBAYER_ADAPTIVE = 5,
  DEBAYER_LAPLACIAN = 6,
  DEBAYER_PREVIEW = 7
};

/* Pixel formats in member order. */
enum DebayerFormat { DEBAYER_8TO24 = 0, DEBAYER_8TO32 = 1, DEBAYER_16TO48 = 2, DEBAYER_16TO64 = 3 };

/* Colour orders of the filter cell in member order. */
enum BayerPhase { BAYER_RGGB = 0, BAYER_GRBG = 1, BAYER_GBRG = 2, BAYER_BGGR = 3 };

typedef int32_t (*Debayer8Func)(const uint8_t* src, int32_t width, int32_t height, uint8_t* dst);
typedef int32_t (*Debayer16Func)(const uint16_t* src, int32_t width, int32_t height, uint16_t* dst);

/* The member of a family for a format and phase. Debayer8Member serves the
 * 8to24 and 8to32 formats, Debayer16Member the 16to48 and 16to64 formats; a
 * format or phase out of range (or a format of the other width) gives NULL.
 * A family outside 0..7 counts as Mono, as DebayerMode does. */
Debayer8Func Debayer8Member(int32_t family, int32_t format, int32_t phase);
Debayer16Func Debayer16Member(int32_t family, int32_t format, int32_t phase);

#ifdef __cplusplus
}
#endif

#endif
