// The variable setup dialog: one variable's tag and its values, one per line.
#pragma once

#include <string>

#include "ui/dialog_services.h"
#include "ui/template_dialog.h"

namespace kelvane {

class CVariableDlg : public TemplateDialog {
 public:
  // Both texts start empty; the caller sets them before DoModal() and reads them after IDOK.
  CVariableDlg(const DialogServices& services, QWidget* parent);

  std::string valueText;
  std::string tag;

 protected:
  void DoDataExchange(DataExchange& dx) override;
  void OnHelp() override;

 private:
  DialogServices services_;
};

}  // namespace kelvane
