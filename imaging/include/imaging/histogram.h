/* placeholder: filled in by its owner */
#ifndef IMAGING_HISTOGRAM_H
#define IMAGING_HISTOGRAM_H
#include <stdint.h>
#endif
