// The main dialog: the block text, output file, repeat count, append flag and variable list.
#pragma once

#include <optional>
#include <string>

#include "engine/job.h"
#include "platform/message_box.h"
#include "settings/settings.h"
#include "ui/dialog.h"
#include "ui/dialog_services.h"
#include "ui/hyperlink.h"

namespace kelvane {

class CRepeaterDlg : public CDialog {
 public:
  // Loads the settings into the members; the window's controls are filled when it is shown.
  explicit CRepeaterDlg(DialogServices services);

  // The members as the last exchange left them.
  [[nodiscard]] const Job& job() const { return job_; }
  [[nodiscard]] const DialogServices& services() const { return services_; }

  bool OnInitDialog() override;
  void OnCommand(int id) override;
  // The variable list's double click edits the selected variable.
  void OnNotify(int id, Notification code) override;
  // The close box runs Close once: one exchange, at most one message, one save.
  void OnClose() override;

  void OnDeleteVariable();
  void OnBrowseOutputFile();
  void OnAddVariable();
  void OnEditVariable();
  void OnVariableListDoubleClick();
  // SIGTERM or SIGINT (the session ends, or Ctrl+C where the program was started): cancels a run
  // at once, closes any window above this one, saves the settings and closes, asking nothing.
  void OnStopSignal();

 protected:
  void DoDataExchange(DataExchange& dx) override;
  // Duplicate: the exchange, then the run; the dialog stays open.
  void OnOK() override;
  // Close: the exchange (its result does not stop the close), the save, the end.
  void OnCancel() override;
  void OnHelp() override;

 private:
  // Passes a run's messages on, except once a stop signal has come: nobody is there to read them.
  class RunMessages : public MessageBox {
   public:
    RunMessages(MessageBox& to, const bool& muted) : to_(to), muted_(muted) {}
    MessageAnswer Show(const std::string& text, MessageButtons buttons, MessageIcon icon) override {
      return muted_ ? MessageAnswer::Ok : to_.Show(text, buttons, icon);
    }

   private:
    MessageBox& to_;
    const bool& muted_;
  };

  // In a Duplicate's exchange: the run's job made from the members and checked, kept in runJob_
  // when it passes; otherwise dropped, and the message returned.
  std::optional<std::string> PrepareRun();
  // The selected variable's index, or nothing.
  [[nodiscard]] std::optional<size_t> SelectedVariable() const;
  void CloseForStop();
  void Save();

  DialogServices services_;
  Job job_;
  WindowSize windowSize_;  // as loaded, then as last saved
  CHyperLink link_;
  // Set by OnOK() for the exchange it runs: that exchange, and no other, makes the run's job.
  bool preparingRun_ = false;
  std::optional<Job> runJob_;  // held from that exchange to the run it is for, in the same OnOK()
  bool running_ = false;
  bool stopRequested_ = false;
  RunMessages runMessages_{services_.messages, stopRequested_};
};

}  // namespace kelvane
