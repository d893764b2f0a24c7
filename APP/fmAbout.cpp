#include "fmAbout.h"

TAboutForm* AboutForm = nullptr;

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutForm"));
}

void TAboutForm::FormCreate() { AppCommand->AboutView = this; }

int TAboutForm::ShowModal() { return exec(); }
