/* placeholder: filled in by its owner */
#ifndef IMAGING_DECODE_H
#define IMAGING_DECODE_H
#include <stdint.h>
#endif
