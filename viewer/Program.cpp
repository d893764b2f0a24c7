#include "viewer/Program.h"

#include <csignal>
#include <exception>

#include "common/Messages.h"
#include "viewer/MainForm.h"
#include "viewer/TAboutForm.h"
#include "viewer/TFileInfo.h"
#include "viewer/THistogram.h"
#include "viewer/TSettingsForm.h"

TViewerApplication::TViewerApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QString::fromLatin1(Title));
  setQuitOnLastWindowClosed(false);
}

bool TViewerApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowErrorMessage(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    // Not one of ours: shown as an exception without a message.
    ShowErrorMessage(QString());
  }
  return false;
}

QStringList CreateForms(const QStringList& arguments) {
  QStringList order;
  AppForm = new TAppForm;
  AppForm->FormCreate(arguments);
  order << AppForm->objectName();
  FileInfo = new TFileInfo(AppForm, AppForm);
  order << FileInfo->objectName();
  AboutForm = new TAboutForm(AppForm, AppForm);
  order << AboutForm->objectName();
  SettingsForm = new TSettingsForm(AppForm, AppForm);
  SettingsForm->FormCreate();
  order << SettingsForm->objectName();
  Histogram = new THistogram(AppForm, AppForm);
  order << Histogram->objectName();
  return order;
}

void DestroyForms() {
  // The other windows are the main form's children.
  if (AppForm != nullptr) AppForm->FormClose();
  delete AppForm;
  AppForm = nullptr;
  FileInfo = nullptr;
  AboutForm = nullptr;
  SettingsForm = nullptr;
  Histogram = nullptr;
}

int RunViewer(int argc, char* argv[]) {
  // A file-size limit makes a write fail, reported like a full disk, instead
  // of ending the process in the middle of an export.
  std::signal(SIGXFSZ, SIG_IGN);
  TViewerApplication application(argc, argv);
  CreateForms(QCoreApplication::arguments());
  AppForm->show();
  AppForm->Session.RepaintForm();
  TViewerApplication::exec();
  DestroyForms();
  return 0;
}
