// The settings dialog: a non-modal, topmost window with six tabs through
// which the user sets the camera and the capture options. Every control
// forwards at once to the controller AppCommand or the camera object
// CameraDevice; the lookup-table track bars only show values until "Set".
//
// Setting a track bar's position, a check box's state or a radio group's
// selection from code runs that control's handler, as a user's change would
// (the preset load and the activation refresh rely on it); setting a combo
// box's selection from code runs none.
#ifndef APP_FMSETTINGS_H
#define APP_FMSETTINGS_H

#include <QDialog>
#include <QMap>

#include <cstdint>

#include "APP/control/Commands.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class QToolButton;
class TRadioGroup;
struct TPresetValues;

class TSettingsForm : public QDialog, public ISettingsView {
  Q_OBJECT

 public:
  explicit TSettingsForm(QWidget* parent = nullptr);

  // Creation handler, run once the global SettingsForm refers to this
  // dialog: the lookup-table labels, the topmost window, and the preset file
  // "qdv47b5.pre" of the current directory when there is one. No camera call
  // of its own.
  void FormCreate();
  // Activation handler: ReadCameraSettings each time the dialog becomes the
  // active window.
  void FormActivate();

  // ISettingsView.
  void ShowNonModal() override;
  bool IsShown() const override;
  void SetDialogEnabled(bool enabled) override;
  void SetDebayerSelection(int mode) override;
  int SaveImageMode() const override;
  QString CapturePath() const override;
  void SetStatisticsText(const QString& editName, const QString& text) override;
  void SetExternalInputStatus(bool input1, bool input2) override;

  // Refresh operations. UpdateExposure: exposure range and position, the
  // exposure label, the region and the frame rate from the camera; nothing
  // while Updating is set. ShowGain: the gain label from the camera.
  // ReadCameraSettings: everything the camera may have changed, on every
  // activation of the dialog.
  void UpdateExposure() override;
  void ShowGain();
  void ReadCameraSettings();

  // The capture folder chosen in the folder browser: a "/" is added unless
  // it ends with one. A name holding a line break is refused with an error
  // box (false).
  bool SetCaptureFolder(QString folder);
  // The frame limit in eFrames handed to the controller, as "Set" does;
  // false, with the limit unchanged, when the text is no integer.
  bool ApplyFrameLimit();

  // The preset entries that the controls hold: the capture folder, gain,
  // exposure range and position, clock and output-mode choices,
  // inter-packet delay, demosaicing, image format, gamma, high-speed mode
  // and frame limit; the other entries keep their defaults.
  TPresetValues CollectPreset() const;
  // A checked preset's values applied to the controls, the camera and the
  // controller in the preset load's order, the controls' handlers running
  // as for a user's change. The main window's state is not the dialog's.
  void ApplyPreset(const TPresetValues& values);

  // True while UpdateExposure runs and while the dialog is being created.
  bool Updating = false;
  // True when the start-up found a preset file that it could not read or
  // apply: the closing save leaves that file alone.
  bool StartUpPresetRefused = false;

  // --- Controls ----------------------------------------------------------------
  QTabWidget* pgSettings = nullptr;
  QWidget* tsApplication = nullptr;
  QWidget* tsGeneral = nullptr;
  QWidget* tsLookupTable = nullptr;
  QWidget* tsAdvanced = nullptr;
  QWidget* tsTrigger = nullptr;
  QWidget* tsStatistic = nullptr;

  // Application tab.
  QLineEdit* edPath = nullptr;
  QToolButton* btSetPath = nullptr;
  QToolButton* btGoto = nullptr;
  QCheckBox* cbUnlimitedFrames = nullptr;
  QLineEdit* eFrames = nullptr;
  QPushButton* btSet = nullptr;
  QLineEdit* eBufferPoolSize = nullptr;
  QLineEdit* eBufferPoolCount = nullptr;
  QPushButton* btBufferPool = nullptr;
  TRadioGroup* rgSaveImageMode = nullptr;

  // General tab.
  QComboBox* cbFrequency = nullptr;
  QComboBox* cbOutputMode = nullptr;
  QLineEdit* edFrameRate = nullptr;
  QPushButton* btFrameRate = nullptr;
  QCheckBox* cbSDRAM = nullptr;
  QLabel* lbViewPortValue = nullptr;
  QPushButton* btViewport = nullptr;
  QSlider* tbExposure = nullptr;
  QLabel* lbExposure = nullptr;
  QSlider* tbGain = nullptr;
  QLabel* lbTotalGainValue = nullptr;
  QComboBox* cbPresets = nullptr;
  QGroupBox* gbInterPacketDelay = nullptr;
  QSlider* tbInterPacketDelay = nullptr;
  QLineEdit* edOutputDataBandwith = nullptr;

  // Color correction tab: groups mono, red, green, blue; rows brightness,
  // contrast, gamma.
  QGroupBox* gbMono = nullptr;
  QGroupBox* gbRed = nullptr;
  QGroupBox* gbGreen = nullptr;
  QGroupBox* gbBlue = nullptr;
  QSlider* tbMonoBrightness = nullptr;
  QSlider* tbMonoContrast = nullptr;
  QSlider* tbMonoGamma = nullptr;
  QSlider* tbRedBrightness = nullptr;
  QSlider* tbRedContrast = nullptr;
  QSlider* tbRedGamma = nullptr;
  QSlider* tbGreenBrightness = nullptr;
  QSlider* tbGreenContrast = nullptr;
  QSlider* tbGreenGamma = nullptr;
  QSlider* tbBlueBrightness = nullptr;
  QSlider* tbBlueContrast = nullptr;
  QSlider* tbBlueGamma = nullptr;
  QPushButton* btMonoDefault = nullptr;
  QPushButton* btMonoSet = nullptr;
  QPushButton* btWhiteBalance = nullptr;
  QPushButton* btRGBSet = nullptr;
  TRadioGroup* rgCvtTable = nullptr;

  // Advanced tab.
  TRadioGroup* rgDebayer = nullptr;
  TRadioGroup* rgMedianFilter = nullptr;
  QGroupBox* gbImageCorrection = nullptr;
  QComboBox* cbImgCorrectionSelect = nullptr;
  QSlider* tbHue = nullptr;
  QLabel* lbHue = nullptr;
  QLabel* lbHueValue = nullptr;
  QSlider* tbLightless = nullptr;
  QLabel* lbLightless = nullptr;
  QLabel* lbLightlessValue = nullptr;
  QSlider* tbSaturation = nullptr;
  QLabel* lbSaturation = nullptr;
  QLabel* lbSaturationValue = nullptr;
  QPushButton* btImageCorrectionDefault = nullptr;
  QPushButton* btImgCorrectionCalibrate = nullptr;
  QCheckBox* cbGammaCorrection = nullptr;
  QCheckBox* cbAutoBlackLevel = nullptr;
  QSlider* tbBlackLevel = nullptr;
  QLabel* lbBlackLevel = nullptr;
  QLineEdit* edFrameWaitTimeout = nullptr;
  QPushButton* btFrameWaitTimeout = nullptr;
  QGroupBox* gbColorEnhancement = nullptr;
  QSlider* tbColorEnh = nullptr;
  QLineEdit* edColorEnh = nullptr;
  QPushButton* bWhiteBalanceAuto = nullptr;
  QPushButton* bWhiteBalanceLock = nullptr;
  QPushButton* bWhiteBalanceDisable = nullptr;

  // Trigger tab.
  QCheckBox* cbEnableExternalSyncronization = nullptr;
  QCheckBox* cbExternalInput1Status = nullptr;
  QCheckBox* cbExternalInput2Status = nullptr;
  QCheckBox* cbSeeStatus = nullptr;
  QCheckBox* cbOUT1 = nullptr;
  QRadioButton* rbHighLevelOUT1 = nullptr;
  QRadioButton* rbLowLevelOUT1 = nullptr;
  QCheckBox* cbOUT2 = nullptr;
  QRadioButton* rbHighLevelOUT2 = nullptr;
  QRadioButton* rbLowLevelOUT2 = nullptr;

  // Statistic tab (the fifteen read-outs are found by name).
  QComboBox* cbStatistics = nullptr;
  QPushButton* btReset = nullptr;

 public slots:
  // Application tab.
  void btSetPathClick();
  void btGotoClick();
  void cbUnlimitedFramesClick();
  void btSetClick();
  void btBufferPoolClick();
  // General tab.
  void cbFrequencyChange();
  void cbOutputModeChange();
  void btFrameRateClick();
  void cbSDRAMClick();
  void btViewportClick();
  void tbExposureChange();
  void lbExposureDblClick();
  void tbGainChange();
  void lbTotalGainValueDblClick();
  void cbPresetsChange();
  void tbInterPacketDelayChange();
  void gbInterPacketDelayDblClick();
  // Color correction tab. A mono bar drags the colour bars of its row; a
  // colour bar refreshes its group's labels. Double-clicks reset bars to 0
  // without a camera call: a group its three bars, a label its one bar.
  void tbMonoBrightnessChange();
  void tbMonoContrastChange();
  void tbMonoGammaChange();
  void tbRedBrightnessChange();
  void tbRedContrastChange();
  void tbRedGammaChange();
  void tbGreenBrightnessChange();
  void tbGreenContrastChange();
  void tbGreenGammaChange();
  void tbBlueBrightnessChange();
  void tbBlueContrastChange();
  void tbBlueGammaChange();
  void gbMonoDblClick();
  void gbRedDblClick();
  void gbGreenDblClick();
  void gbBlueDblClick();
  void lbMonoBrightnessDblClick();
  void lbMonoContrastDblClick();
  void lbMonoGammaDblClick();
  void lbRedBrightlessDblClick();
  void lbRedContrastDblClick();
  void lbRedGammaDblClick();
  void lbGreenBrightnessDblClick();
  void lbGreenContrastDblClick();
  void lbGreenGammaDblClick();
  void lbBlueBrightnessDblClick();
  void lbBlueContrastDblClick();
  void lbBlueGammaDblClick();
  void btMonoSetClick();
  void btRGBSetClick();
  void btMonoDefaultClick();
  void btWhiteBalanceClick();
  void rgCvtTableClick();
  // Advanced tab.
  void rgDebayerClick();
  void rgMedianFilterClick();
  void cbImgCorrectionSelectChange();
  void ApplyHSLCorrection();
  void tbHueChange();
  void tbLightlessChange();
  void tbSaturationChange();
  void btImageCorrectionDefaultClick();
  void gbImageCorrectionDblClick();
  void lbHueDblClick();
  void lbLightlessDblClick();
  void lbSaturationDblClick();
  void btImgCorrectionCalibrateClick();
  void cbGammaCorrectionClick();
  void cbAutoBlackLevelClick();
  void tbBlackLevelChange();
  void btFrameWaitTimeoutClick();
  void tbColorEnhChange();
  void gbColorEnhancementDblClick();
  void bWhiteBalanceAutoClick();
  void bWhiteBalanceLockClick();
  void bWhiteBalanceDisableClick();
  // Trigger tab: each control sends the whole trigger state.
  void cbEnableExternalSyncronizationClick();
  void cbOUT1Click();
  void cbOUT2Click();
  void rbHighLevelOUT1Click();
  void rbHighLevelOUT2Click();
  void rbLowLevelOUT1Click();
  void rbLowLevelOUT2Click();
  void cbSeeStatusClick();
  // Statistic tab.
  void cbStatisticsChange();
  void btResetClick();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Lookup-table track bars and value labels: [group][row], groups mono,
  // red, green, blue, rows brightness, contrast, gamma.
  static constexpr int LookupGroups = 4;
  static constexpr int LookupRows = 3;

  // Each tab in a file of its own (fmSettings<Tab>.cpp) builds its controls
  // and connects their handlers.
  void CreateApplicationTab();
  void CreateGeneralTab();
  void CreateLookupTableTab();
  void CreateAdvancedTab();
  void CreateTriggerTab();
  void CreateStatisticTab();
  void CompactLayouts();
  void ConnectHandlers();
  void ConnectApplicationHandlers();
  void ConnectGeneralHandlers();
  void ConnectLookupTableHandlers();
  void ConnectAdvancedHandlers();
  void ConnectTriggerHandlers();
  void ConnectStatisticHandlers();

  // The mono row's colour bars follow the mono bar, then the mono labels.
  void ShowMonoLookupValues(int row);
  // One group's three value labels.
  void ShowLookupValues(int group);
  void ShowRedLookupValues();
  void ShowGreenLookupValues();
  void ShowBlueLookupValues();
  void SendColorLookupTable();
  void ResetLookupGroup(int group);
  // The trigger controls' state to the controller.
  void SendTrigger();
  // The steps of ApplyPreset that are more than one call.
  void ApplyPresetOutputMode(const TPresetValues& values);
  void ApplyPresetGain(const TPresetValues& values);
  void ApplyPresetFrameRate(const TPresetValues& values);
  void ApplyPresetInterPacketDelay(const TPresetValues& values);
  void ApplyPresetFrameLimit(const TPresetValues& values);
  void ApplyPresetExposure(const TPresetValues& values);

  QSlider* lookupBars_[LookupGroups][LookupRows] = {};
  QLabel* lookupValues_[LookupGroups][LookupRows] = {};
  QMap<QString, QLineEdit*> statistics_;
  bool placed_ = false;
};

extern TSettingsForm* SettingsForm;

#endif
