// How the programs' dialogs and message boxes behave on screen and at the
// keyboard, the same way in both programs.
//
// Stacking: a window opens above the window given as its owner (the window
// manager keeps it there), without becoming the owner's child, so it keeps
// its own lifetime and enabled state. Modal boxes and dialogs open above
// ModalOwner(), so that no window of the program that stays on top can hide
// a box that blocks the program.
//
// Keys: Enter presses no button of a dialog (no button is a default button),
// and Esc never just hides a dialog: it either does nothing or closes the
// window the way its close box does, through its close handler.
#ifndef COMMON_DIALOGS_H
#define COMMON_DIALOGS_H

class QDialog;
class QWidget;

// The window a modal box or dialog must open above: the modal dialog in
// progress; else the program's window that stays on top, while one is shown;
// else the active window. Null when the program shows no window.
QWidget* ModalOwner();

// Keeps `window` above `owner` from its next showing on. A null owner, or
// the window itself, leaves the window's stacking as it is.
void OpenAbove(QWidget& window, const QWidget* owner);

// Shows a window the user asked for where the user sees it, and gives it
// the keyboard: above the program's window that stays on top while one is
// shown (a window without that hint would open beneath it, and take the
// keys unseen), else simply raised.
void ShowInSight(QWidget& window);

enum class EscapeKey {
  Ignored,  // Esc does nothing: the window is closed by its close box only
  Closes    // Esc closes the window like its close box
};

// Turns every push button of the dialog into a plain one (no default
// button, none made default by focus) and sets what Esc does. Call once the
// dialog's buttons exist.
void SetDialogKeys(QDialog& dialog, EscapeKey escape);

// Only the buttons: for a dialog that handles every key itself.
void RemoveDefaultButtons(QDialog& dialog);

#endif
