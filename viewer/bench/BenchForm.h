// The main form the viewer's benchmarks drive: created once, shown, with
// the camera application's benchmark colour matrix (it touches every
// colour) in its correction object.
#ifndef VIEWER_BENCH_BENCHFORM_H
#define VIEWER_BENCH_BENCHFORM_H

#include "viewer/MainForm.h"

inline TAppForm* BenchForm() {
  static TAppForm* form = [] {
    static const double matrix[12] = {0.9, 0.05, 0.05, 0.1, 0.8, 0.1, 0.05, 0.05, 0.9, 4, 2, -3};
    auto* f = new TAppForm;
    AppForm = f;
    f->FormCreate({QStringLiteral("QDVView")});
    f->resize(1024, 700);
    f->show();
    SetColorCorrectionMatrix(f->Session.ColorCorrectionObject.get(), matrix);
    SetColorCorrectionMode(f->Session.ColorCorrectionObject.get(), CorrectionMatrix);
    return f;
  }();
  return form;
}

#endif
