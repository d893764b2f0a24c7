// The viewer's settings dialog: the working directory, the software colour
// correction of the 8-bit image with its white balance, the curve that maps
// 10- and 12-bit samples to 8 bits, the per-channel RAW curves with the RAW
// white balance, and the demosaicing method. Modeless and on top; every
// change goes to the main form at once, which repaints.
#ifndef VIEWER_TSETTINGSFORM_H
#define VIEWER_TSETTINGSFORM_H

#include <QDialog>
#include <QString>

#include <array>
#include <functional>

#include "viewer/MainForm.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

class TSettingsForm : public QDialog, public IViewerSettings {
  Q_OBJECT
 public:
  explicit TSettingsForm(TAppForm* appForm, QWidget* parent = nullptr);

  // Creation handler: the mono curve's defaults.
  void FormCreate();
  // Activation: the working directory shown, the dialog on top.
  void FormActivate();

  // IViewerSettings.
  void SetDebayerSelection(std::int32_t mode) override;
  void SetGainSliders(std::int32_t red, std::int32_t green, std::int32_t blue) override;
  void ShowNonModal() override;
  void CloseWindow() override;

  void ApplyImageCorrection();
  void ApplyMonoCurve();
  void ApplyRGBCurves();

  // The folder chooser (returns an empty text on Cancel) and the shell's
  // "explore"; tests replace them.
  std::function<QString(QWidget* parent, const QString& start)> ChooseFolder;
  std::function<void(const QString& folder)> ExploreFolder;

  bool ReentryGuard = false;

  QGroupBox* gbWorkingDirectory = nullptr;
  QLineEdit* Edit_FramePath = nullptr;
  QPushButton* Btn_SetFramePath = nullptr;
  QPushButton* Btn_Goto = nullptr;

  QGroupBox* gbImageCorrection = nullptr;
  QComboBox* cbImgCorrectionSelect = nullptr;
  QSlider* tbRed = nullptr;
  QSlider* tbGreen = nullptr;
  QSlider* tbBlue = nullptr;
  QSlider* tbHue = nullptr;
  QSlider* tbLightless = nullptr;
  QSlider* tbSaturation = nullptr;
  QLabel* lbRed = nullptr;
  QLabel* lbGreen = nullptr;
  QLabel* lbBlue = nullptr;
  QLabel* lbHue = nullptr;
  QLabel* lbLightless = nullptr;
  QLabel* lbSaturation = nullptr;
  QPushButton* btImageCorrectionDefault = nullptr;
  QPushButton* btWhiteBalance = nullptr;
  QPushButton* btImgCorrectionCalibrate = nullptr;

  QGroupBox* gbLookupTable = nullptr;
  QSlider* tbMonoBrightness = nullptr;
  QSlider* tbMonoContrast = nullptr;
  QSlider* tbMonoGamma = nullptr;
  QLabel* lbMonoBrightnessValue = nullptr;
  QLabel* lbMonoContrastValue = nullptr;
  QLabel* lbMonoGammaValue = nullptr;
  QPushButton* btDefaultLookupTable = nullptr;

  // Red, green, blue; brightness, contrast, gamma.
  QGroupBox* gbChannel[3] = {};
  QSlider* tbChannel[3][3] = {};
  QLabel* lbChannelValue[3][3] = {};
  QPushButton* btDefaultRGBTable = nullptr;
  QPushButton* btWhiteBalanceRAW = nullptr;
  QCheckBox* cbRAWColorCorrection = nullptr;

  QGroupBox* rgDebayer = nullptr;
  QButtonGroup* rgDebayerButtons = nullptr;

 public slots:
  void rgDebayerClick();
  void CorrectionChange();
  void btImageCorrectionDefaultClick();
  void btWhiteBalanceClick();
  void btDefaultLookupTableClick();
  void btDefaultRGBTableClick();
  void cbRAWColorCorrectionClick();
  void btWhiteBalanceRAWClick();
  void Btn_SetFramePathClick();
  void Btn_GotoClick();

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void CreateWorkingDirectoryGroup();
  void CreateCorrectionGroup();
  void CreateLookupGroup();
  void CreateChannelGroups();
  void CreateDebayerGroup();
  void ConnectHandlers();
  // A track bar of the dialog: horizontal, ten positions a page.
  QSlider* Slider(const char* name, int minimum, int maximum, int value);
  void SetCurveLabels(QSlider* const* sliders, QLabel* const* labels);
  void SetRGBSlidersToZero();
  // The correction group's value labels: slider, divisor, format and the
  // neutral position a double-click restores.
  struct TValueLabel {
    QLabel* label;
    QSlider* slider;
    double scale;
    const char* format;
    int neutral;
  };
  std::array<TValueLabel, 6> CorrectionLabels() const;

  TAppForm* appForm_;
};

extern TSettingsForm* SettingsForm;

#endif
