#include "ui/repeater_dlg.h"

#include <utility>

#include "engine/duplicate.h"
#include "engine/validation.h"
#include "platform/message_text.h"
#include "platform/shell.h"
#include "res/resource.h"
#include "res/resource_script.h"
#include "settings/settings.h"
#include "ui/data_exchange.h"
#include "ui/dialog_host.h"
#include "ui/help.h"
#include "ui/variable_dlg.h"

namespace kelvane {

namespace {

// The maker's web site, opened by the link; string IDS_LINK_ADDRESS shows the same address the
// short way, which fits beside the notice and names a shortcut after the host.
constexpr char kMakerAddress[] = "https://www.orvalle.example/";

// Where the system's paths put their last folder apart from the name.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

}  // namespace

CRepeaterDlg::CRepeaterDlg(DialogServices services)
    : CDialog(IDD_REPEATER_DIALOG, services.host, services.messages),
      services_(services),
      link_(services.urls, services.clipboard, services.folders) {
  LoadSettings(job_, windowSize_);
}

void CRepeaterDlg::DoDataExchange(DataExchange& dx) {
  // Taken first: an exchange started while this one shows a message (a stop signal's) is not a
  // Duplicate's.
  const bool forRun = std::exchange(preparingRun_, false);
  dx.Text(IDC_OUTPUT_FILE, job_.outputFile);
  dx.Text(IDC_BLOCK_TEXT, job_.blockText);
  dx.Int(IDC_REPEAT_COUNT, job_.repeatCount);
  dx.MinMaxInt(job_.repeatCount, kMinRepeatCount, kMaxRepeatCount);
  dx.Check(IDC_APPEND, job_.append);
  // A failure here leaves the focus on "A&ppend data", the control exchanged last.
  if (dx.saving()) {
    if (const auto error = forRun ? PrepareRun() : LineCountError(job_.tags, job_.values, job_.repeatCount)) {
      dx.Fail(*error);
    }
  }
}

// The run is checked as it will run: each value text is read once, for the line counts and the copies.
std::optional<std::string> CRepeaterDlg::PrepareRun() {
  Job run = WithValuesScanned(job_);
  std::optional<std::string> error = LineCountError(run);
  if (!error) {
    runJob_ = std::move(run);
  }
  return error;
}

bool CRepeaterDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  DialogWindow& window = *this->window();
  window.SetProgramIcon();
  // Each run of the dialog has a window of its own; the link takes over the new one's.
  link_.SubclassWindow(window.LinkControl(IDC_LINK));
  link_.SetLink(kMakerAddress, res::LoadString(IDS_LINK_ADDRESS), true);
  link_.SetShadow(false);
  // Larger than the template, the block text takes the extra width and half the extra height, the
  // list the other half; the rest keeps its place beside or below them.
  constexpr double kHalf = 0.5;
  window.SetAnchor(IDC_BLOCK_TEXT, {0, 0, 1, kHalf});
  window.SetAnchor(IDC_OUTPUT_FILE, {0, kHalf, 1, 0});
  for (const int id : {IDC_BROWSE_OUTPUT_FILE, IDC_APPEND, IDC_ADD_VARIABLE, IDC_EDIT_VARIABLE, IDC_DELETE_VARIABLE,
                       IDC_REPEAT_COUNT, IDC_LINK}) {
    window.SetAnchor(id, {1, kHalf, 0, 0});
  }
  window.SetAnchor(IDC_VARIABLE_LIST, {0, kHalf, 1, kHalf});
  for (const int id : {ID_HELP, IDOK, IDCANCEL}) {
    window.SetAnchor(id, {1, 1, 0, 0});
  }
  if (windowSize_.width > 0 && windowSize_.height > 0) {
    window.RestoreUserSize(windowSize_);
  }

  window.SetUpList(IDC_VARIABLE_LIST, res::LoadString(IDS_VARIABLES_HEADING));
  for (const std::string& tag : job_.tags) {
    window.InsertListRow(IDC_VARIABLE_LIST, window.ListRowCount(IDC_VARIABLE_LIST), tag);
  }
  return true;
}

std::optional<size_t> CRepeaterDlg::SelectedVariable() const {
  const int row = window()->SelectedListRow(IDC_VARIABLE_LIST);
  if (row < 0 || static_cast<size_t>(row) >= job_.tags.size()) {
    return std::nullopt;
  }
  return static_cast<size_t>(row);
}

// The size goes with the job. A window that cannot be resized has no size of its own to keep: it
// saves the six settings alone, leaving any stored size as it is.
void CRepeaterDlg::Save() {
  if (const std::optional<WindowSize> size = window()->UserSize()) {
    windowSize_ = *size;
    SaveSettings(job_, windowSize_);
  } else {
    SaveSettings(job_);
  }
}

void CRepeaterDlg::OnOK() {
  preparingRun_ = true;
  const bool valid = UpdateData(true);
  preparingRun_ = false;
  // Taken at once, so that no copy of the lists outlives this command.
  std::optional<Job> runJob = std::exchange(runJob_, std::nullopt);
  if (!valid || !runJob) {
    return;
  }
  // Saved now as well as at Close: a run can be long, and a crash or a kill during it must not
  // take the job the user typed with it.
  Save();
  DuplicateRun run(std::move(*runJob), services_.clipboard, runMessages_);
  if (run.Start()) {
    running_ = true;
    host().RunWithProgress(run, *this, &stopRequested_);
    running_ = false;
  }
  if (stopRequested_) {
    CloseForStop();
  }
}

void CRepeaterDlg::OnStopSignal() {
  if (stopRequested_ || window() == nullptr) {
    return;
  }
  stopRequested_ = true;
  host().CloseWindowsAbove(*this);
  // A run in hand stops within a second (its progress window went as a Cancel), and OnOK()
  // closes once it has.
  if (!running_) {
    CloseForStop();
  }
}

void CRepeaterDlg::CloseForStop() {
  host().CloseWindowsAbove(*this);
  UpdateData(true, true);
  Save();
  EndDialog(IDCANCEL);
}

void CRepeaterDlg::OnCancel() {
  UpdateData(true);
  Save();
  EndDialog(IDCANCEL);
}

void CRepeaterDlg::OnClose() {
  OnCancel();
}

void CRepeaterDlg::OnHelp() {
  ShowHelpFor(IDD_REPEATER_DIALOG, services_);
}

void CRepeaterDlg::OnCommand(int id) {
  switch (id) {
    case IDC_ADD_VARIABLE: OnAddVariable(); break;
    case IDC_EDIT_VARIABLE: OnEditVariable(); break;
    case IDC_DELETE_VARIABLE: OnDeleteVariable(); break;
    case IDC_BROWSE_OUTPUT_FILE: OnBrowseOutputFile(); break;
    default: CDialog::OnCommand(id); break;
  }
}

void CRepeaterDlg::OnNotify(int id, Notification code) {
  if (id == IDC_VARIABLE_LIST && code == Notification::DoubleClick) {
    OnVariableListDoubleClick();
  }
}

void CRepeaterDlg::OnDeleteVariable() {
  const std::optional<size_t> index = SelectedVariable();
  if (!index) {
    return;
  }
  const std::string question = LoadMessage(IDS_CONFIRM_DELETE, {job_.tags[*index]});
  if (services_.messages.Show(question, MessageButtons::YesNo) != MessageAnswer::Yes) {
    return;
  }
  job_.tags.erase(job_.tags.begin() + static_cast<std::ptrdiff_t>(*index));
  if (*index < job_.values.size()) {
    job_.values.erase(job_.values.begin() + static_cast<std::ptrdiff_t>(*index));
  }
  window()->DeleteListRow(IDC_VARIABLE_LIST, static_cast<int>(*index));
}

void CRepeaterDlg::OnBrowseOutputFile() {
  job_.outputFile = window()->GetDlgItemText(IDC_OUTPUT_FILE);
  // Folder up to and including the last separator, name after it; without one, both are the
  // whole text.
  std::string folder = job_.outputFile;
  std::string name = job_.outputFile;
  if (const size_t last = job_.outputFile.rfind(kPathSeparator); last != std::string::npos) {
    folder = job_.outputFile.substr(0, last + 1);
    name = job_.outputFile.substr(last + 1);
  }
  const std::optional<std::string> chosen = services_.fileDialog.AskSaveFileName(folder, name);
  if (!chosen) {
    return;
  }
  job_.outputFile = *chosen;
  window()->SetDlgItemText(IDC_OUTPUT_FILE, *chosen);
}

void CRepeaterDlg::OnAddVariable() {
  CVariableDlg dialog(services_, this);
  if (dialog.DoModal() != IDOK) {
    return;
  }
  job_.tags.push_back(dialog.tag);
  job_.values.push_back(dialog.valueText);
  if (window() != nullptr) {
    window()->InsertListRow(IDC_VARIABLE_LIST, window()->ListRowCount(IDC_VARIABLE_LIST), dialog.tag);
  }
}

void CRepeaterDlg::OnEditVariable() {
  const std::optional<size_t> index = SelectedVariable();
  if (!index) {
    return;
  }
  CVariableDlg dialog(services_, this);
  dialog.tag = job_.tags[*index];
  dialog.valueText = *index < job_.values.size() ? job_.values[*index] : std::string();
  if (dialog.DoModal() != IDOK) {
    return;
  }
  job_.tags[*index] = dialog.tag;
  if (*index < job_.values.size()) {
    job_.values[*index] = dialog.valueText;
  }
  if (window() != nullptr) {
    window()->SetListRowText(IDC_VARIABLE_LIST, static_cast<int>(*index), dialog.tag);
  }
}

// Acts on the row selected now, which the double click has just selected, not on the point clicked.
void CRepeaterDlg::OnVariableListDoubleClick() {
  OnEditVariable();
}

}  // namespace kelvane
