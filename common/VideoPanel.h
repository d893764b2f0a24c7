// The panel on which live frames are drawn.
//
// The render pipeline hands it each picture (8-bit grey samples or 24-bit
// B, G, R pixels, rows packed end to end, top row first). The panel keeps its
// own copy, because Qt paints later than the call returns and the render
// buffers are rewritten by the next frame, and paints that copy scaled to its
// whole client area: smoothly for the live picture, or unsmoothed (each
// picture pixel repeated or dropped, as the viewer draws RAW frames). Without
// a picture it shows its caption ("Stopped") on a raised bevel. Both programs
// size it to the zoomed picture and place it in their scroll box by the
// free functions at the end.
#ifndef COMMON_VIDEOPANEL_H
#define COMMON_VIDEOPANEL_H

#include <QFrame>
#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>

class QScrollArea;

// How a picture is scaled onto the panel.
enum class TPanelScaling {
  Smooth,     // filtered scaling (the live picture)
  Unsmoothed  // nearest pixel, no filtering (the viewer's colour-on-colour stretch)
};

class TVideoPanel : public QFrame {
  Q_OBJECT
 public:
  // The largest picture the camera delivers.
  static constexpr int MaxWidth = 1920;
  static constexpr int MaxHeight = 1080;

  // capacity: the most pixels a picture may have, any shape (a picture of
  // 1..capacity pixels is taken); 0 keeps the camera's limit of MaxWidth by
  // MaxHeight.
  explicit TVideoPanel(QWidget* parent = nullptr, TPanelScaling scaling = TPanelScaling::Smooth,
                       std::int64_t capacity = 0);
  ~TVideoPanel() override;

  // Copies a picture of width x height pixels with 8 (grey) or 24 (B, G, R)
  // bits per pixel and schedules a repaint. Refuses (returns false, keeps the
  // previous picture) a null source, a size beyond the panel's limit or
  // another depth. The copy goes into a buffer allocated once for the
  // largest picture: nothing is allocated per frame.
  bool SetPicture(const std::uint8_t* pixels, int width, int height, int bits);
  // Forgets the picture; the panel shows its caption again.
  void ClearPicture();

  bool HasPicture() const { return hasPicture_; }
  int PictureWidth() const { return hasPicture_ ? image_.width() : 0; }
  int PictureHeight() const { return hasPicture_ ? image_.height() : 0; }
  // 8 or 24: the depth of the last picture; 0 without one.
  int PictureBits() const { return hasPicture_ ? bits_ : 0; }
  // The last picture as opaque 32-bit pixels (0xffRRGGBB); a null image
  // without one.
  QImage Picture() const { return hasPicture_ ? image_ : QImage(); }

  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool Fits(int width, int height) const;

  TPanelScaling scaling_;
  std::int64_t capacity_;                    // pixels; 0: MaxWidth x MaxHeight
  std::unique_ptr<std::uint32_t[]> buffer_;  // the largest picture's pixels
  QImage image_;                             // wraps buffer_ at the picture's size
  int bits_ = 0;
  bool hasPicture_ = false;
  QString caption_;
};

// Where a panel side of panelExtent pixels goes in a scroll box's client
// side of clientExtent pixels: centred where the panel is smaller, at the
// scroll position where it is not.
constexpr int CenteredPanelOffset(int clientExtent, int panelExtent, int scrollPosition) {
  return panelExtent < clientExtent ? (clientExtent - panelExtent) / 2 : -scrollPosition;
}

// Places the panel, which the scroll box holds, by CenteredPanelOffset on
// both axes.
void CenterPanelInScrollBox(QScrollArea& box, QWidget& panel);

// Gives the panel the picture's drawn size; a change of size also centres it.
void SizePanelToPicture(QScrollArea& box, QWidget& panel, int drawnWidth, int drawnHeight);

#endif
