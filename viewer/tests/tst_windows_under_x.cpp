// The real viewer under a virtual X server with a window manager, keys typed
// as a user types them. A path typed quickly in the open dialog and Return
// open the file and leave no completion list behind: the next key reaches
// the main window. With the settings dialog shown (it stays on top): the
// file-information window, the histogram window, the about box, the open
// dialog, the message box of a file it cannot read and the folder dialog
// open above it and take the keys.
//
// Called with --in-x, this executable is the program under the X server,
// driven by a script of steps.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

#include "common/tests/UnderX.h"
#include "viewer/MainForm.h"
#include "viewer/Program.h"
#include "viewer/TAboutForm.h"
#include "viewer/TFileInfo.h"
#include "viewer/THistogram.h"
#include "viewer/TSettingsForm.h"

using namespace underx;

namespace {

// Above the settings dialog after the main window's key.
TStep OpensAbove(const char* name, const char* key, std::function<QWidget*()> window) {
  return {name,
          [key] {
            Activate(AppForm);
            Key(key);
          },
          [window] { return AboveAndActive(window(), SettingsForm); }};
}

std::vector<TStep> Steps() {
  static TPause settle(500);
  const QString folder = QDir::currentPath();
  return {
      {"main-active", [] { Activate(AppForm); },
       [] { return QApplication::activeWindow() == AppForm; }},
      {"open-dialog-shown", [] { Key("ctrl+o"); },
       [] { return QApplication::activeWindow() == ModalBox<QFileDialog>(); }},
      {"path-typed-and-opened",
       [folder] {
         // A file in a folder the dialog has not listed yet: its completer
         // lists the folder, and offers the file, while the dialog closes.
         Type(folder + QStringLiteral("/typed/VIDEO_1.RAW"));
         Key("Return");
         settle.Start();
       },
       [] {
         return QApplication::activeModalWidget() == nullptr && settle.Over() &&
                AppForm->windowTitle().endsWith(QStringLiteral("typed/VIDEO_1.RAW"));
       }},
      {"next-key-reaches-main", [] { Key("i"); },
       [] { return QApplication::activeWindow() == FileInfo; }},
      {"file-info-closed", [] { Key("Escape"); }, [] { return !FileInfo->isVisible(); }},
      {"settings-shown",
       [] {
         Activate(AppForm);
         Key("alt+s");
       },
       [] { return QApplication::activeWindow() == SettingsForm; }},
      OpensAbove("file-info-above-settings", "i", [] { return FileInfo; }),
      OpensAbove("histogram-above-settings", "h", [] { return Histogram; }),
      OpensAbove("about-above-settings", "alt+a", [] { return AboutForm; }),
      {"about-closed", [] { Key("Escape"); }, [] { return !AboutForm->isVisible(); }},
      OpensAbove("open-dialog-above-settings", "ctrl+o", [] { return ModalBox<QFileDialog>(); }),
      {"message-box-above-settings",
       [folder] {
         Type(folder + QStringLiteral("/short.raw"));
         Key("Return");
       },
       [] { return AboveAndActive(ModalBox<QMessageBox>(), SettingsForm); }},
      {"message-boxes-closed",
       [] {
         Key("Return");
         settle.Start();
       },
       [] {
         // A failed open may say more than one thing; the boxes after the
         // first are closed here, until none has come for a while.
         if (auto* box = ModalBox<QMessageBox>(); box != nullptr && box->isVisible()) {
           box->done(0);
           settle.Start();
         }
         return QApplication::activeModalWidget() == nullptr && settle.Over();
       }},
      {"folder-dialog-above-settings",
       [] { QTimer::singleShot(0, SettingsForm->Btn_SetFramePath, &QPushButton::click); },
       [] { return AboveAndActive(ModalBox<QFileDialog>(), SettingsForm); }},
      {"folder-dialog-closed", [] { Key("Escape"); },
       [] { return QApplication::activeModalWidget() == nullptr; }},
  };
}

int RunInX(int argc, char** argv) {
  QTemporaryDir folder;
  QDir::setCurrent(folder.path());
  // A sample in a folder of its own, and a file too short for a header.
  QDir().mkdir(QStringLiteral("typed"));
  QFile::copy(QStringLiteral(QDV_VIEWER_SAMPLES "/VIDEO_1_320x180.RAW"),
              QStringLiteral("typed/VIDEO_1.RAW"));
  QFile shortFile(QStringLiteral("short.raw"));
  if (shortFile.open(QIODevice::WriteOnly)) shortFile.write("QDV");
  shortFile.close();
  const pid_t windowManager = StartWindowManager();
  int result = 0;
  {
    TViewerApplication application(argc, argv);
    CreateForms(QCoreApplication::arguments());
    AppForm->show();
    TScript script(Steps(), [] { AppForm->close(); });
    result = TViewerApplication::exec();
    DestroyForms();
  }
  StopWindowManager(windowManager);
  return result;
}

}  // namespace

class TestViewerWindowsUnderX : public QObject {
  Q_OBJECT

 private slots:
  void windowsOpenInSightAndNoCompletionListStays() {
    if (const QString tool = MissingTool(); !tool.isEmpty())
      QSKIP(qPrintable(QStringLiteral("%1 missing").arg(tool)));
    const TRunUnderX run = RunUnderX();
    QVERIFY2(run.output == AllStepsOk(Steps()), qPrintable(run.output + run.errors));
  }
};

int main(int argc, char** argv) {
  return TestOrRunInX<TestViewerWindowsUnderX>(argc, argv, RunInX);
}

#include "tst_windows_under_x.moc"
