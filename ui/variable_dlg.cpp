#include "ui/variable_dlg.h"

#include "engine/validation.h"
#include "res/resource.h"
#include "ui/data_exchange.h"
#include "ui/help.h"

namespace kelvane {

CVariableDlg::CVariableDlg(const DialogServices& services, CDialog* owner)
    : CDialog(IDD_VARIABLE_DIALOG, services.host, services.messages, owner), services_(services) {}

bool CVariableDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // Larger than the template, the values box takes all the extra room; the buttons stay at its right.
  window()->SetAnchor(IDC_VARIABLE_VALUES, {0, 0, 1, 1});
  for (const int id : {IDOK, IDCANCEL, ID_HELP}) {
    window()->SetAnchor(id, {1, 0, 0, 0});
  }
  return true;
}

void CVariableDlg::DoDataExchange(DataExchange& dx) {
  dx.Text(IDC_VARIABLE_VALUES, valueText);
  dx.Text(IDC_VARIABLE_TAG, tag);
  if (dx.saving()) {
    if (const auto error = EmptyTagError(tag)) {
      dx.Fail(*error);
    }
  }
}

void CVariableDlg::OnHelp() {
  ShowHelpFor(IDD_VARIABLE_DIALOG, services_);
}

}  // namespace kelvane
