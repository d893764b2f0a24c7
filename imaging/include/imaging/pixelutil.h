/* placeholder: filled in by its owner */
#ifndef IMAGING_PIXELUTIL_H
#define IMAGING_PIXELUTIL_H
#include <stdint.h>
#endif
