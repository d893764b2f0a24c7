#include "fmViewPort.h"

TViewPortForm* ViewPortForm = nullptr;

TViewPortForm::TViewPortForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ViewPortForm"));
}

void TViewPortForm::FormCreate() {}
