// The real program under a virtual X server with a window manager, keys
// typed as a user types them. A path typed quickly in the preset save dialog
// and Return leave no completion list behind: the keys after it close the
// message box and reach the main window. With the settings dialog shown (it stays on top): the
// histogram windows (also one shown before the settings dialog), the about box, the preset open
// dialog, the message box after it and the region dialog open above it and take the keys; Esc
// leaves the settings and region dialogs shown; Enter in the buffer-pool edit applies neither the
// typed frame limit nor the pool; Esc on the RGB histogram window closes it through its close
// handler, which stops its feed.
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <memory>

#include "APP/Program.h"
#include "APP/control/Commands.h"
#include "APP/forms/fmAbout.h"
#include "APP/forms/fmHistogramRAW.h"
#include "APP/forms/fmHistogramRGB.h"
#include "APP/forms/fmMain.h"
#include "APP/forms/fmSettings.h"
#include "APP/forms/fmViewPort.h"
#include "common/tests/UnderX.h"

using namespace underx;

namespace {

std::vector<TStep> Steps(TKeyReleases& keys) {
  static int mark = 0;
  static TPause settle(500);
  return {
      {"main-active", [] { Activate(MainForm); },
       [] { return QApplication::activeWindow() == MainForm; }},
      {"save-dialog-shown", [] { Key("ctrl+m"); },
       [] { return QApplication::activeWindow() == ModalBox<QFileDialog>(); }},
      {"path-typed-replace-asked",
       [] {
         // A file in a folder the dialog has not listed yet: its completer
         // lists the folder, and offers the file, while the dialog closes.
         Type(QDir::current().filePath(QStringLiteral("typed/typed.pre")));
         Key("Return");
       },
       [] {
         const QMessageBox* box = ModalBox<QMessageBox>();
         return QApplication::activeWindow() == box && box != nullptr &&
                box->text().contains(QStringLiteral("already exists"));
       }},
      {"replace-confirmed",
       [] {
         Key("alt+y");
         settle.Start();
       },
       [] {
         return QApplication::activeWindow() == ModalBox<QMessageBox>() && settle.Over() &&
                QFileInfo(QStringLiteral("typed/typed.pre")).size() > 0;
       }},
      {"stored-message-closed", [] { Key("Return"); },
       [] { return QApplication::activeModalWidget() == nullptr; }},
      {"next-key-reaches-main", [] { Key("h"); }, [] { return HistogramFormRGB->isVisible(); }},
      {"main-active-before-settings", [] { Activate(MainForm); },
       [] { return QApplication::activeWindow() == MainForm; }},
      {"settings-shown", [] { Key("alt+s"); },
       [] { return SettingsForm->isVisible() && QApplication::activeWindow() == SettingsForm; }},
      {"main-active-again", [] { Activate(MainForm); },
       [] { return QApplication::activeWindow() == MainForm; }},
      {"shown-histogram-above-settings", [] { Key("h"); },
       [] { return AboveAndActive(HistogramFormRGB, SettingsForm); }},
      {"raw-histogram-above-settings",
       [] {
         Activate(MainForm);
         Key("ctrl+h");
       },
       [] { return AboveAndActive(HistogramFormRAW, SettingsForm); }},
      {"about-above-settings",
       [] {
         Activate(MainForm);
         Key("alt+a");
       },
       [] { return AboveAndActive(AboutForm, SettingsForm); }},
      {"about-closed", [] { Key("space"); }, [] { return !AboutForm->isVisible(); }},
      {"open-dialog-above-settings",
       [] {
         Activate(MainForm);
         Key("ctrl+l");
       },
       [] { return AboveAndActive(ModalBox<QFileDialog>(), SettingsForm); }},
      {"message-box-above-settings", [] { Key("Escape"); },
       [] { return AboveAndActive(ModalBox<QMessageBox>(), SettingsForm); }},
      {"message-box-closed", [] { Key("Return"); },
       [] { return QApplication::activeModalWidget() == nullptr; }},
      {"region-above-settings", [] { SettingsForm->btViewport->click(); },
       [] { return Above(ViewPortForm, SettingsForm); }},
      {"region-active", [] { Activate(ViewPortForm); },
       [] { return QApplication::activeWindow() == ViewPortForm; }},
      {"region-stays-on-esc",
       [&keys] {
         mark = keys.escapes;
         Key("Escape");
       },
       [&keys] { return keys.escapes > mark && ViewPortForm->isVisible(); }},
      {"settings-active",
       [] {
         Activate(SettingsForm);
         SettingsForm->cbUnlimitedFrames->setChecked(false);
         SettingsForm->eFrames->setFocus();
         SettingsForm->eFrames->selectAll();
       },
       [] { return QApplication::activeWindow() == SettingsForm; }},
      {"settings-stays-on-esc",
       [&keys] {
         mark = keys.escapes;
         Key("Escape");
       },
       [&keys] { return keys.escapes > mark && SettingsForm->isVisible(); }},
      {"frame-limit-typed", [] { Type("77"); },
       [] { return SettingsForm->eFrames->text() == QStringLiteral("77"); }},
      {"pool-size-typed",
       [] {
         SettingsForm->eBufferPoolSize->setFocus();
         SettingsForm->eBufferPoolSize->selectAll();
         Type("8");
       },
       [] { return SettingsForm->eBufferPoolSize->text() == QStringLiteral("8"); }},
      {"enter-applies-nothing",
       [&keys] {
         mark = keys.returns;
         Key("Return");
       },
       [&keys] {
         return keys.returns > mark && AppCommand->Captures.Frames2Capture == 0 &&
                AppCommand->Captures.PoolBlockSizeMB != 8 && SettingsForm->isVisible();
       }},
      {"histogram-fed",
       [] {
         AppCommand->StartVideo();
         Activate(MainForm);
         Key("h");
       },
       [] { return HistogramFormRGB->isVisible() && AppCommand->Render.RGBHistogramOn; }},
      {"histogram-active", [] { Activate(HistogramFormRGB); },
       [] { return QApplication::activeWindow() == HistogramFormRGB; }},
      {"histogram-closed-on-esc", [] { Key("Escape"); },
       [] { return !HistogramFormRGB->isVisible() && !AppCommand->Render.RGBHistogramOn; }},
  };
}

int RunInX(int argc, char** argv) {
  QTemporaryDir folder;  // preset files land there
  QDir::setCurrent(folder.path());
  // An empty preset, which the save replaces once the user says so.
  QDir().mkdir(QStringLiteral("typed"));
  QFile(QStringLiteral("typed/typed.pre")).open(QIODevice::WriteOnly);
  TKeyReleases keys;
  std::unique_ptr<TScript> script;
  return WithWindowManager([&] {
    const int result = RunProgram(argc, argv, [&] {
      qApp->installEventFilter(&keys);
      script = std::make_unique<TScript>(Steps(keys), [] { MainForm->close(); });
    });
    script.reset();
    return result;
  });
}

}  // namespace

class TestWindowsUnderX : public QObject {
  Q_OBJECT

 private slots:
  void stackingEnterAndEscAsAUserMeetsThem() {
    if (const QString tool = MissingTool(); !tool.isEmpty())
      QSKIP(qPrintable(QStringLiteral("%1 missing").arg(tool)));
    TKeyReleases keys;
    const TRunUnderX run = RunUnderX();
    QVERIFY2(run.output == AllStepsOk(Steps(keys)), qPrintable(run.output + run.errors));
  }
};

int main(int argc, char** argv) { return TestOrRunInX<TestWindowsUnderX>(argc, argv, RunInX); }

#include "tst_windows_under_x.moc"
