/* placeholder: filled in by its owner */
#ifndef IMAGING_COLORCORRECTION_H
#define IMAGING_COLORCORRECTION_H
#include <stdint.h>
#endif
