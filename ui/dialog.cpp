#include "ui/dialog.h"

#include <new>

#include "platform/message_box.h"
#include "res/resource.h"
#include "res/resource_script.h"
#include "ui/data_exchange.h"
#include "ui/dialog_host.h"

namespace kelvane {

CDialog::CDialog(int templateId, DialogHost& host, MessageBox& messages, CDialog* owner)
    : templateId_(templateId), host_(host), messages_(messages), owner_(owner) {}

int CDialog::DoModal() {
  return host_.RunModal(*this, owner_);
}

bool CDialog::UpdateData(bool saveAndValidate, bool quiet) {
  if (window_ == nullptr) {
    return false;
  }
  try {
    DataExchange dx(*this, saveAndValidate, quiet);
    DoDataExchange(dx);
    return true;
  } catch (const ExchangeFailed&) {
    return false;
  } catch (const std::bad_alloc&) {
    messages_.Show(res::LoadString(IDS_MEMORY_EXCEPTION));
    return false;
  }
}

void CDialog::EndDialog(int result) {
  if (window_ != nullptr) {
    window_->EndDialog(result);
  }
}

// A new window has fields of its own: what the last one was given says nothing about them.
void CDialog::Attach(DialogWindow* window) {
  window_ = window;
  exchanged_.clear();
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::OnCommand(int id) {
  switch (id) {
    case IDOK: OnOK(); break;
    case IDCANCEL: OnCancel(); break;
    case ID_HELP: OnHelp(); break;
    default: break;
  }
}

void CDialog::OnClose() {
  OnCancel();
}

void CDialog::OnOK() {
  if (UpdateData(true)) {
    EndDialog(IDOK);
  }
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

}  // namespace kelvane
