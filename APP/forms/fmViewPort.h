// The region-of-interest dialog: which part of the 1920 x 1080 sensor the
// camera delivers. A map of the sensor with a box that the user drags, eight
// predefined sizes centred on the sensor, and masked edits for the offset and
// size. Every change goes to the camera at once; none while a capture runs.
#ifndef APP_FMVIEWPORT_H
#define APP_FMVIEWPORT_H

#include <QDialog>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <optional>

class QButtonGroup;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTimer;

inline constexpr std::int32_t SensorWidth = 1920;
inline constexpr std::int32_t SensorHeight = 1080;
// Steps of the horizontal and vertical values the dialog sends.
inline constexpr std::int32_t RegionStepX = 16;
inline constexpr std::int32_t RegionStepY = 18;

// A region of the sensor in sensor pixels: the offset of its top-left corner
// and its size.
struct TRegion {
  std::int32_t StartX = 0;
  std::int32_t StartY = 0;
  std::int32_t SizeX = SensorWidth;
  std::int32_t SizeY = SensorHeight;

  bool operator==(const TRegion&) const = default;
};

// The region that the four edit texts (offset X, offset Y, size X, size Y)
// give: horizontal values reduced to multiples of 16 and vertical ones to
// multiples of 18, the size at most the sensor's, the offset moved back so
// that the region stays on the sensor. Nothing when a text, blanks trimmed,
// is empty or not a number.
std::optional<TRegion> RegionFromTexts(const QString& offsetX, const QString& offsetY,
                                       const QString& sizeX, const QString& sizeY);

class TViewPortForm : public QDialog {
  Q_OBJECT

 public:
  explicit TViewPortForm(QWidget* parent = nullptr);
  // The full sensor, shown on the map and in the edits; no camera call.
  void FormCreate();

  // Operations of the dialog.
  void PlaceBox();
  void ShowRegionEdits();
  void SendRegion();
  bool ReadRegionEdits();
  void MoveBox(int dx, int dy);
  void ReadBoxPosition();

  // Event handlers.
  void RadioPredefinedClick(int index);
  void Button_ApplyClick();
  void Edit_OXChange();
  // A key in one of the four edits; true when it is used up here (Enter).
  bool Edit_OXKeyPress(QLineEdit* edit, int key);
  void TimerApplyTimer();
  void WhiteBoxMouseDown(Qt::MouseButton button, QPoint position);
  void WhiteBoxMouseMove(QPoint position);
  void WhiteBoxMouseUp();
  void WhiteBoxDblClick();

  // The region the dialog last sent and received.
  TRegion Region;

  QGroupBox* GroupBox = nullptr;
  QFrame* FullView = nullptr;
  QFrame* WhiteBox = nullptr;
  QLineEdit* Edit_SX = nullptr;
  QLineEdit* Edit_SY = nullptr;
  QLineEdit* Edit_OX = nullptr;
  QLineEdit* Edit_OY = nullptr;
  QPushButton* Button_Apply = nullptr;
  QGroupBox* RadioPredefined = nullptr;
  QButtonGroup* PredefinedButtons = nullptr;
  QTimer* TimerApply = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateMap();
  void CreateEdits();
  void CreatePredefined();
  void ConnectHandlers();
  // Region changes wait until a running capture has ended: its file header
  // and records must keep one frame size.
  bool RegionLocked() const;
  double ScaleX() const;
  double ScaleY() const;
  void Centre();

  QPoint grab_;
  bool dragging_ = false;
  bool skipNextMove_ = false;
};

extern TViewPortForm* ViewPortForm;

#endif
