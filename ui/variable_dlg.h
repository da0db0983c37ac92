// The variable setup dialog: one variable's tag and its values, one per line.
#pragma once

#include <string>

#include "ui/dialog.h"
#include "ui/dialog_services.h"

namespace kelvane {

class CVariableDlg : public CDialog {
 public:
  // Both texts start empty; the caller sets them before DoModal() and reads them after IDOK.
  // owner: the dialog whose window owns this one's, or nullptr.
  CVariableDlg(const DialogServices& services, CDialog* owner);

  bool OnInitDialog() override;

  std::string valueText;
  std::string tag;

 protected:
  void DoDataExchange(DataExchange& dx) override;
  void OnHelp() override;

 private:
  DialogServices services_;
};

}  // namespace kelvane
