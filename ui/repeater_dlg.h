// The main dialog: the block text, output file, repeat count, append flag and variable list.
#pragma once

#include <QIcon>
#include <string>

#include "engine/job.h"
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
  [[nodiscard]] int SelectedRow() const;
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
};

}  // namespace kelvane
