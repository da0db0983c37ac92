// The main dialog: the block text, output file, repeat count, append flag and variable list.
#pragma once

#include <QIcon>
#include <string>

#include "engine/job.h"
#include "platform/message_box.h"
#include "settings/settings.h"
#include "ui/dialog_services.h"
#include "ui/hyperlink.h"
#include "ui/template_dialog.h"

class QLineEdit;
class QTableWidget;

namespace kelvane {

class CRepeaterDlg : public TemplateDialog {
 public:
  // Loads the settings into the members; the window's controls are filled when it is shown.
  explicit CRepeaterDlg(DialogServices services, QWidget* parent = nullptr);

  // The members as the last exchange left them.
  [[nodiscard]] const Job& job() const { return job_; }

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
  bool OnInitDialog() override;
  // Duplicate: the exchange, then the run; the dialog stays open.
  void OnOK() override;
  // Close: the exchange (its result does not stop the close), the save, the end.
  void OnCancel() override;
  void OnClose() override;
  void OnHelp() override;
  void OnCommand(int id) override;
  void resizeEvent(QResizeEvent* event) override;

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

  [[nodiscard]] int SelectedRow() const;
  void CloseWindowsAbove();
  void CloseForStop();
  void AppendRow(const std::string& tag);
  void FitColumn();
  void RestoreWindowSize();
  [[nodiscard]] WindowSize CurrentWindowSize() const;

  DialogServices services_;
  QLineEdit* outputFileField_ = nullptr;
  QTableWidget* variableList_ = nullptr;
  Job job_;
  WindowSize windowSize_;  // as loaded; kept up to date only when saved
  CHyperLink link_;
  QIcon icon_;
  bool running_ = false;
  bool stopRequested_ = false;
  RunMessages runMessages_{services_.messages, stopRequested_};
};

}  // namespace kelvane
