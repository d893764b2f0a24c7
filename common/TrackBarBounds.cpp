#include "common/TrackBarBounds.h"

#include <QSlider>

void SetTrackBarMin(QSlider* trackBar, int minimum) {
  if (minimum <= trackBar->maximum()) trackBar->setMinimum(minimum);
}

void SetTrackBarMax(QSlider* trackBar, int maximum) {
  if (maximum >= trackBar->minimum()) trackBar->setMaximum(maximum);
}
