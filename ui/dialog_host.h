// The toolkit's side of running dialogs: a dialog's window made from its template and run modally,
// the windows above the main one closed on a stop request, and a Duplicate run with its progress
// window. Qt (ui/qt/) and Win32 (ui/win32/) each supply one; the logic's tests use a fake.
#pragma once

#include "engine/duplicate.h"

namespace kelvane {

class CDialog;

class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // Makes the window of dialog's template, owned by owner's window (none: the main window of the
  // program, or the desktop), attaches it to the dialog (CDialog::Attach), calls OnInitDialog()
  // once it is ready to show (the focus then goes to the first tab stop when it returns true), and
  // passes the window's commands to the dialog until it ends: buttons, Enter and Escape as the
  // toolkit's dialogs make them, the close box as OnClose(), F1 as ID_HELP, the list's double click
  // as OnNotify(). Detaches the window before it goes; returns what EndDialog() was given.
  virtual int RunModal(CDialog& dialog, CDialog* owner) = 0;

  // Dismisses every window open above main (a message, the progress window, another dialog, a
  // file dialog) as if cancelled; whoever opened it carries on.
  virtual void CloseWindowsAbove(CDialog& main) = 0;

  // Runs a started Duplicate (Start() succeeded) with its copies written off the window's thread,
  // showing progress with Cancel once it takes longer than about half a second; the window stays
  // alive meanwhile. Setting *stop, from the window's thread, cancels as Cancel does. Returns what
  // run.Finish() returns; the run shows its own messages.
  virtual RunOutcome RunWithProgress(DuplicateRun& run, CDialog& owner, const bool* stop) = 0;
};

}  // namespace kelvane
