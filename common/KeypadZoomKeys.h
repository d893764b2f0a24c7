#ifndef COMMON_KEYPADZOOMKEYS_H
#define COMMON_KEYPADZOOMKEYS_H

class QAction;

// Menus name the keys of the zoom items as a user reads them on the keypad,
// "Num +", "Num -" and "Num *", instead of the text of their shortcuts
// (which may name another key the shortcut also serves, or read "Num++").
void ShowKeypadZoomKeys(QAction* zoomIn, QAction* zoomOut, QAction* zoomOriginal);

#endif
