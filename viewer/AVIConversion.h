// The conversion of the open RAW video file into AVI parts: it rewinds the
// session's file and drives its renders, each writing its frame to the open
// part, until the end of the file; a part is closed and the next one opened
// whenever another frame would pass the part's size limit.
#ifndef VIEWER_AVICONVERSION_H
#define VIEWER_AVICONVERSION_H

class TViewerSession;

// Save AVI file: converts the session's file into VIDEO_nnnn-PART-pppp.AVI
// in its working directory, processing pending messages between frames, and
// tells the user how it ended. Nothing happens without a file that gives
// frames, or while a conversion runs.
void ConvertToAVI(TViewerSession& session);

#endif
