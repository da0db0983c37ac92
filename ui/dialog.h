// The dialog as the framework plays it, free of any toolkit: the template it is built from, the
// data exchange run by UpdateData(), and the commands its window sends. Its window (DialogWindow)
// exists only while DoModal() runs; the members live as long as the object.
#pragma once

#include <map>
#include <string>

#include "ui/dialog_window.h"

namespace kelvane {

class DataExchange;
class DialogHost;
class MessageBox;

// What a control sends besides a command.
enum class Notification { DoubleClick };

class CDialog {
 public:
  // owner: the dialog whose window owns this one's, or nullptr.
  CDialog(int templateId, DialogHost& host, MessageBox& messages, CDialog* owner = nullptr);
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Runs the dialog until it ends; returns IDOK or IDCANCEL.
  int DoModal();

  // Moves data between members and controls: into the controls when saveAndValidate is false,
  // into the members, validating, when true. False when a check failed; its message was shown and
  // the focus moved. quiet: a failed check says nothing and leaves the focus where it is.
  bool UpdateData(bool saveAndValidate = true, bool quiet = false);
  // Ends the modal run with this result.
  void EndDialog(int result);

  [[nodiscard]] int templateId() const { return templateId_; }
  [[nodiscard]] MessageBox& messages() const { return messages_; }
  [[nodiscard]] DialogHost& host() const { return host_; }
  [[nodiscard]] CDialog* owner() const { return owner_; }
  // The window while the dialog runs, else nullptr.
  [[nodiscard]] DialogWindow* window() const { return window_; }

  // Called by the host: the window made for this dialog, and nullptr before it goes.
  void Attach(DialogWindow* window);

  // Called by the host once the window is ready to show. The default moves the members into the
  // controls. True: the host puts the focus on the first tab stop.
  virtual bool OnInitDialog();
  // A command from the window: IDOK goes to OnOK(), IDCANCEL to OnCancel(), ID_HELP to OnHelp();
  // dialogs add their own buttons' commands.
  virtual void OnCommand(int id);
  // A control's notification, such as the variable list's double click.
  virtual void OnNotify(int /*id*/, Notification /*code*/) {}
  // The close box, Alt+F4 or the window manager's close request; the default is Cancel.
  virtual void OnClose();

 protected:
  virtual void DoDataExchange(DataExchange& dx) = 0;
  // The OK command (the default button, Enter): exchange, then end with IDOK.
  virtual void OnOK();
  // The Cancel command (Escape, the Cancel button): end with IDCANCEL.
  virtual void OnCancel();
  // The Help command (the Help button, F1).
  virtual void OnHelp() {}

 private:
  friend class DataExchange;

  // A text the exchange put into a field: the member's bytes, and the field's text as the window
  // then gave it back. A field the user left alone hands back the bytes, however the toolkit
  // showed them.
  struct ExchangedText {
    std::string bytes;
    std::string shown;
  };

  int templateId_;
  DialogHost& host_;
  MessageBox& messages_;
  CDialog* owner_;
  DialogWindow* window_ = nullptr;
  std::map<int, ExchangedText> exchanged_;
};

}  // namespace kelvane
