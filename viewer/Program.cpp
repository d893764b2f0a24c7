#include "Program.h"

#include <QApplication>

#include "MainForm.h"

int RunViewer(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("QDV47B5 RAW video viewer and convertor"));
  QApplication::setQuitOnLastWindowClosed(false);
  auto* form = new TAppForm;
  AppForm = form;
  form->FormCreate();
  form->show();
  form->RepaintForm();
  const int result = QApplication::exec();
  delete form;
  return result == 0 ? 0 : 0;
}
