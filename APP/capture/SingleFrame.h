// Single frames: the frame files (BMP and JPEG), the clipboard copy and the
// hand-over of a frame to the colour-correction tool. The controller's
// operations of this unit are declared in control/Commands.h.
#ifndef APP_SINGLEFRAME_H
#define APP_SINGLEFRAME_H

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

#include "platform/newfile.h"

// The picture (B, G, R bytes, rows packed, top row first) as a 24-bit BMP
// file whose resolution is the screen's (96 dpi without a screen), created
// as creation says. False when the file cannot be written whole.
bool SaveBMPFile(const QString& name, const std::uint8_t* picture, std::int32_t width,
                 std::int32_t height, platform::FileCreation creation);
// The picture as a new JPEG file with the encoder's default settings. The
// picture is also saved as "temp.bmp" in the current directory, replacing
// the one before, where it is left. False when the JPEG file cannot be
// written whole.
bool SaveJPEGFile(const QString& name, const std::uint8_t* picture, std::int32_t width,
                  std::int32_t height);

// The colour-correction tool's file and program; the program is looked for in
// the application's folder.
inline constexpr const char* CorrectionToolFrameFile = "FRAME.BMP";
inline constexpr const char* CorrectionToolProgram = "Tintwork.exe";

// Starts a program without waiting for it; the result is not looked at.
using ProgramStarter = std::function<void(const QString& program, const QStringList& arguments)>;
// Replaces how programs are started (tests); an empty starter restores the
// default. Returns the starter it replaced.
ProgramStarter SetProgramStarter(ProgramStarter starter);

#endif
