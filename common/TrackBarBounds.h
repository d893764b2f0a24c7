#ifndef COMMON_TRACKBARBOUNDS_H
#define COMMON_TRACKBARBOUNDS_H

class QSlider;

// Track-bar bounds: a minimum above the current maximum, or a maximum below
// the current minimum, is ignored (Qt would move the other bound). A bound
// that moves past the position moves the position, which runs the track
// bar's change handler.
void SetTrackBarMin(QSlider* trackBar, int minimum);
void SetTrackBarMax(QSlider* trackBar, int maximum);

#endif
