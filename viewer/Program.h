// The viewer program: the application object, which shows an exception
// escaping a handler in a box and carries on, and the five forms, created
// once in their order and kept until the end.
#ifndef VIEWER_PROGRAM_H
#define VIEWER_PROGRAM_H

#include <QApplication>
#include <QStringList>

class TViewerApplication : public QApplication {
 public:
  static constexpr const char* Title = "QDV47B5 RAW video viewer and convertor";

  TViewerApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Creates the main form (whose creation handler opens a file named on the
// command line before the other forms exist), then the file-information,
// about, settings and histogram windows; the globals refer to them. Returns
// their object names in creation order.
QStringList CreateForms(const QStringList& arguments);
// Deletes the forms in reverse order.
void DestroyForms();

int RunViewer(int argc, char* argv[]);

#endif
