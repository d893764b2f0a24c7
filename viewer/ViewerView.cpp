#include "viewer/ViewerView.h"

#include "common/Messages.h"

void IViewerView::ShowError(const QString& text) {
  ShowMessageBox(MessageKind::Information, QStringLiteral("Error"), text);
}

void IViewerView::ShowMessage(const QString& text) {
  ShowMessageBox(MessageKind::Information, QStringLiteral("Message"), text);
}
