// Controller operations of features that are not built yet: single frames
// and the clipboard, the colour-correction tool, AVI and RAW capture, the
// trigger input display, register sets, white balance and the correction
// selection. They do nothing for now, so that the forms can already be wired
// to them; each one moves to the unit of its feature when that is built.
#include "Commands.h"

void TAppCommand::SaveRAWVideo() {}
