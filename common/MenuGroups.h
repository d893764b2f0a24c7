// The two groups of menu items both main forms carry, one table per group
// that serves either form: the hidden demosaicing items and the zoom
// pop-up's items. A form names its items and their handlers as the tables do. Each entry gives
// the item's value (its demosaic mode, its zoom percentage), which makes its
// name, caption and key, where the form keeps the item, and the handler of
// the item's own name that its clicks run.
#ifndef COMMON_MENUGROUPS_H
#define COMMON_MENUGROUPS_H

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "common/DebayerModes.h"
#include "common/Zoom.h"
#include "imaging/debayer.h"

class QAction;

template <class Form>
struct TMenuItemLink {
  std::int32_t value;
  QAction* Form::*action;
  void (Form::*click)();
};

// One item per demosaicing method; DebayerModeItems gives each its name and
// caption, and Alt with the method's digit is its key.
template <class Form>
inline constexpr TMenuItemLink<Form> DebayerItemLinks[] = {
    {DEBAYER_MONO, &Form::mDebayerMono, &Form::mDebayerMonoClick},
    {DEBAYER_BAYER, &Form::mDebayerBayer, &Form::mDebayerBayerClick},
    {DEBAYER_NEAREST, &Form::mDebayerNearest, &Form::mDebayerNearestClick},
    {DEBAYER_BIN2X2, &Form::mDebayerBin2x2, &Form::mDebayerBin2x2Click},
    {DEBAYER_BILINEAR, &Form::mDebayerBilinear, &Form::mDebayerBilinearClick},
    {DEBAYER_ADAPTIVE, &Form::mDebayerAdaptive, &Form::mDebayerAdaptiveClick},
    {DEBAYER_LAPLACIAN, &Form::mDebayerLaplacian, &Form::mDebayerLaplacianClick},
    {DEBAYER_PREVIEW, &Form::mDebayerPreview, &Form::mDebayerPreviewClick},
};

// One item per zoom step up to 400 %, named "mZoom" and captioned with its
// percentage; the 100 % item runs the form's Zoom 100% handler. (The camera
// application reaches its 800 % step by zooming in.)
template <class Form>
inline constexpr TMenuItemLink<Form> ZoomItemLinks[] = {
    {25, &Form::mZoom25, &Form::mZoom25Click},    {33, &Form::mZoom33, &Form::mZoom33Click},
    {50, &Form::mZoom50, &Form::mZoom50Click},    {100, &Form::mZoom100, &Form::mZoomOriginalClick},
    {200, &Form::mZoom200, &Form::mZoom200Click}, {300, &Form::mZoom300, &Form::mZoom300Click},
    {400, &Form::mZoom400, &Form::mZoom400Click},
};

// Both tables follow the shared ones: a method per demosaicing item in its
// order, the zoom steps in theirs up to the viewer's largest.
template <class Form>
constexpr bool MenuGroupsFollowTheirTables() {
  static_assert(std::size(DebayerItemLinks<Form>) == std::size(DebayerModeItems));
  for (std::size_t i = 0; i < std::size(DebayerItemLinks<Form>); ++i)
    if (DebayerItemLinks<Form>[i].value != static_cast<std::int32_t>(DEBAYER_MONO + i))
      return false;
  for (std::size_t i = 0; i < std::size(ZoomItemLinks<Form>); ++i)
    if (ZoomItemLinks<Form>[i].value != ZoomSteps[i].percent) return false;
  return ZoomSteps[std::size(ZoomItemLinks<Form>) - 1].code == ViewerZoomCodeLargest;
}

#endif
