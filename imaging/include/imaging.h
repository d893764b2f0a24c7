/* The image-processing library: RAW line decoders, lookup tables, the
 * demosaic families, colour correction, histograms and white balance.
 * Plain C functions on caller-owned buffers. */
#ifndef IMAGING_H
#define IMAGING_H

#include "imaging/colorcorrection.h"
#include "imaging/debayer.h"
#include "imaging/decode.h"
#include "imaging/encode.h"
#include "imaging/histogram.h"
#include "imaging/pixelutil.h"
#include "imaging/streamformat.h"

#endif
