// What the viewer's session needs of the windows around it, as narrow
// interfaces: the main window (IViewerView), the settings dialog, the
// histogram window and the file-information and about windows. Each window
// implements its own; tests replace them with fakes that record the calls.
#ifndef VIEWER_VIEWERVIEW_H
#define VIEWER_VIEWERVIEW_H

#include <QString>

#include <cstdint>

// The main window as the session sees it. A view without a place for a
// picture, a status text or commands (a window-less conversion, a test)
// shows nothing of them; errors and messages go to a message box unless the
// view says otherwise.
class IViewerView {
 public:
  virtual ~IViewerView() = default;
  // The picture a render made (grey samples at 8 bits, B, G, R pixels at 24,
  // rows packed, top row first), drawn at displayWidth x displayHeight. The
  // view keeps its own copy: the buffers change with the next frame.
  virtual void ShowPicture(const std::uint8_t* /*image*/, std::int32_t /*width*/,
                           std::int32_t /*height*/, std::int32_t /*bits*/,
                           std::int32_t /*displayWidth*/, std::int32_t /*displayHeight*/) {}
  // The status bar's one panel, repainted at once.
  virtual void ShowStatus(const QString& /*text*/) {}
  // A box captioned "Error" with an OK button.
  virtual void ShowError(const QString& text);
  // A box captioned "Message" with an OK button.
  virtual void ShowMessage(const QString& text);
  // A file was opened: the commands that need one are enabled, and the
  // caption names fileName.
  virtual void EnableFileCommands(const QString& /*fileName*/) {}
  // Another file opened, or none is open: nothing of a frame shown before
  // stays (picture, status text), and the caption and file information
  // describe the file open now.
  virtual void FileChanged(bool /*fileOpen*/) {}
  // Schedules the window's own repaint (after the session drew the frame).
  virtual void UpdateWindow() {}
};

// What the render needs of the settings dialog.
class IViewerSettings {
 public:
  virtual ~IViewerSettings() = default;
  // Selection of the demosaicing radio group (rgDebayer); a dialog without
  // one ignores it.
  virtual void SetDebayerSelection(std::int32_t /*mode*/) {}
  // Positions of the gain sliders tbRed, tbGreen, tbBlue (white balance); a
  // dialog without them ignores it.
  virtual void SetGainSliders(std::int32_t /*red*/, std::int32_t /*green*/, std::int32_t /*blue*/) {
  }
  virtual void ShowNonModal() = 0;
  virtual void CloseWindow() = 0;
};

// What the render needs of the histogram window.
class IViewerHistogram {
 public:
  virtual ~IViewerHistogram() = default;
  virtual bool IsShown() const = 0;
  virtual void ShowNonModal() = 0;
  // The RAW frame before the 8-bit mapping: Raw8Frame (bits 8) or Raw16Frame
  // (bits 10, 12).
  virtual void UpdateRAW(const void* data, std::int32_t width, bool mono, std::int32_t bits,
                         std::int32_t height) = 0;
  // The shown image: grey samples (mono) or B, G, R pixels.
  virtual void UpdateRGB(const std::uint8_t* image, std::int32_t width, bool mono,
                         std::int32_t height) = 0;
  // Another file opened, or none is open: nothing of a frame shown before stays.
  virtual void Clear() {}
};

// The file-information and about windows.
class IViewerWindow {
 public:
  virtual ~IViewerWindow() = default;
  virtual void ShowNonModal() = 0;
  virtual int ShowModal() = 0;
  // Another file opened, or none is open: a window that describes the file
  // shows the one open now.
  virtual void FileChanged() {}
};

#endif
