/* The colour-correction object.
 *
 * Maps every 24-bit colour of an image to a corrected colour, either by
 * CorrectionGainHSL (a gain and an offset per channel, then a hue shift and a
 * scaling of saturation and lightness) or by CorrectionMatrix (an affine
 * 4 x 3 colour matrix in 8-bit units). Corrected colours are cached in a
 * 256 x 256 x 256 colour cube and computed only when an image meets a colour
 * for the first time after a settings change.
 *
 * Callers hold an opaque handle. Every operation except CreateColorCorrection
 * does nothing and returns 0 for a null handle; otherwise it returns 1, except
 * SetColorCorrectionMode, which always returns 0. One caller at a time may use
 * an object (applying writes into the cube).
 */
#ifndef IMAGING_COLORCORRECTION_H
#define IMAGING_COLORCORRECTION_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ColorCorrection ColorCorrection;

/* Values of the correction mode: 0 selects CorrectionGainHSL, any other value
 * CorrectionMatrix. */
enum ColorCorrectionKind { CorrectionGainHSL = 0, CorrectionMatrix = 1 };

/* A new object with identity settings and an identity cube; NULL when its
 * memory cannot be had. */
ColorCorrection* CreateColorCorrection(void);
int32_t FreeColorCorrection(ColorCorrection* cc);

/* Each setter moves the object on to new settings, even when the values are
 * the ones already held. Note the argument orders: gain before offset,
 * LightnessGain before LightnessOffset. */
int32_t SetColorCorrectionGains(ColorCorrection* cc, double gainR, double offsetR, double gainG,
                                double offsetG, double gainB, double offsetB);
int32_t GetColorCorrectionGains(const ColorCorrection* cc, double* gainR, double* offsetR,
                                double* gainG, double* offsetG, double* gainB, double* offsetB);
int32_t SetColorCorrectionHSL(ColorCorrection* cc, double hueShift, double saturationGain,
                              double lightnessGain, double lightnessOffset);
int32_t GetColorCorrectionHSL(const ColorCorrection* cc, double* hueShift, double* saturationGain,
                              double* lightnessGain, double* lightnessOffset);
int32_t SetColorCorrectionParams(ColorCorrection* cc, double gainR, double offsetR, double gainG,
                                 double offsetG, double gainB, double offsetB, double hueShift,
                                 double saturationGain, double lightnessGain,
                                 double lightnessOffset);
/* matrix: 12 doubles, 4 rows (inputs R, G, B, constant 1) of 3 columns
 * (outputs R, G, B), row-major. */
int32_t SetColorCorrectionMatrix(ColorCorrection* cc, const double* matrix);
int32_t GetColorCorrectionMatrix(const ColorCorrection* cc, double* matrix);
/* Returns 0 in every case. */
int32_t SetColorCorrectionMode(ColorCorrection* cc, int32_t mode);

/* Correct width x height pixels in place: RGB24Image (B, G, R) or RGB32Image
 * (B, G, R, x; the fourth byte is left alone). A product width x height of
 * zero or less changes nothing and returns 1. */
int32_t ApplyColorCorrection(ColorCorrection* cc, uint8_t* image, int32_t width, int32_t height);
int32_t ApplyColorCorrectionRGB32(ColorCorrection* cc, uint8_t* image, int32_t width,
                                  int32_t height);

#ifdef __cplusplus
}
#endif

#endif
