#include "ui/repeater_dlg.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>

#include "engine/duplicate.h"
#include "engine/validation.h"
#include "platform/message_text.h"
#include "platform/qt/special_folders.h"
#include "platform/shell.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "ui/data_exchange.h"
#include "ui/help.h"
#include "ui/program_icon.h"
#include "ui/qt/progress_run.h"
#include "ui/qt/qt_link_window.h"
#include "ui/variable_dlg.h"

namespace kelvane {

namespace {

// The maker's web site, opened by the link; string IDS_LINK_ADDRESS shows the same address the
// short way, which fits beside the notice and names a shortcut after the host.
constexpr char kMakerAddress[] = "https://www.orvalle.example/";

}  // namespace

CRepeaterDlg::CRepeaterDlg(DialogServices services, QWidget* parent)
    : TemplateDialog(IDD_REPEATER_DIALOG, services.messages, parent),
      services_(services),
      link_(services.urls, services.clipboard, {FavoritesFolder, DesktopFolder}),
      icon_(ProgramIcon()) {
  LoadSettings(job_, windowSize_);
  outputFileField_ = Item<QLineEdit>(IDC_OUTPUT_FILE);
  variableList_ = Item<QTableWidget>(IDC_VARIABLE_LIST);
  // The "..." and the list say nothing by themselves; these are the names screen readers give them.
  GetDlgItem(IDC_BROWSE_OUTPUT_FILE)->setAccessibleName(QString::fromUtf8(res::LoadString(IDS_BROWSE_OUTPUT_FILE)));
  variableList_->setAccessibleName(QString::fromUtf8(res::LoadString(IDS_VARIABLES_HEADING)));
  // Larger than the template, the block text takes the extra width and half the extra height, the
  // list the other half; the rest keeps its place beside or below them.
  constexpr double kHalf = 0.5;
  SetAnchor(IDC_BLOCK_TEXT, {0, 0, 1, kHalf});
  SetAnchor(IDC_OUTPUT_FILE, {0, kHalf, 1, 0});
  for (const int id : {IDC_BROWSE_OUTPUT_FILE, IDC_APPEND, IDC_ADD_VARIABLE, IDC_EDIT_VARIABLE, IDC_DELETE_VARIABLE,
                       IDC_REPEAT_COUNT, IDC_LINK}) {
    SetAnchor(id, {1, kHalf, 0, 0});
  }
  SetAnchor(IDC_VARIABLE_LIST, {0, kHalf, 1, kHalf});
  for (const int id : {ID_HELP, IDOK, IDCANCEL}) {
    SetAnchor(id, {1, 1, 0, 0});
  }
  RestoreWindowSize();
  connect(variableList_, &QTableWidget::cellDoubleClicked, this, [this] { OnVariableListDoubleClick(); });
}

void CRepeaterDlg::DoDataExchange(DataExchange& dx) {
  dx.Text(IDC_OUTPUT_FILE, job_.outputFile);
  dx.Text(IDC_BLOCK_TEXT, job_.blockText);
  dx.Int(IDC_REPEAT_COUNT, job_.repeatCount);
  dx.MinMaxInt(job_.repeatCount, kMinRepeatCount, kMaxRepeatCount);
  dx.Check(IDC_APPEND, job_.append);
  // Bound on the first exchange only and outside dx, so a later failure still focuses "A&ppend data".
  if (link_.window() == nullptr) {
    link_.SubclassWindow(new QtLinkWindow(Item<QLineEdit>(IDC_LINK)));
  }
  if (dx.saving()) {
    if (const auto error = LineCountError(job_.tags, job_.values, job_.repeatCount)) {
      dx.Fail(*error);
    }
  }
}

bool CRepeaterDlg::OnInitDialog() {
  TemplateDialog::OnInitDialog();
  setWindowIcon(icon_);
  link_.SetLink(kMakerAddress, res::LoadString(IDS_LINK_ADDRESS), true);
  link_.SetShadow(false);

  variableList_->setShowGrid(true);
  variableList_->setHorizontalHeaderLabels({QString::fromUtf8(res::LoadString(IDS_VARIABLES_HEADING))});
  variableList_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  variableList_->horizontalHeader()->setSectionsMovable(true);
  FitColumn();
  for (const std::string& tag : job_.tags) {
    AppendRow(tag);
  }
  return true;
}

// As wide as the list less a vertical scroll bar, so the column fits once rows overflow.
void CRepeaterDlg::FitColumn() {
  const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, variableList_);
  variableList_->setColumnWidth(0, variableList_->width() - scrollBar);
}

// The size kept from the last run, never below the template's nor beyond the screen's room.
void CRepeaterDlg::RestoreWindowSize() {
  if (windowSize_.width <= 0 || windowSize_.height <= 0) {
    return;
  }
  QSize size = QSize(windowSize_.width, windowSize_.height).expandedTo(minimumSize());
  if (const QScreen* screen = this->screen(); screen != nullptr) {
    size = size.boundedTo(screen->availableGeometry().size()).expandedTo(minimumSize());
  }
  resize(size);
}

WindowSize CRepeaterDlg::CurrentWindowSize() const {
  return {width(), height()};
}

void CRepeaterDlg::resizeEvent(QResizeEvent* event) {
  TemplateDialog::resizeEvent(event);
  FitColumn();
}

void CRepeaterDlg::AppendRow(const std::string& tag) {
  const int row = variableList_->rowCount();
  variableList_->insertRow(row);
  variableList_->setItem(row, 0,
                         new QTableWidgetItem(QString::fromLocal8Bit(tag.data(), static_cast<qsizetype>(tag.size()))));
}

int CRepeaterDlg::SelectedRow() const {
  const QList<QTableWidgetItem*> selected = variableList_->selectedItems();
  int first = -1;
  for (const QTableWidgetItem* item : selected) {
    if (first < 0 || item->row() < first) {
      first = item->row();
    }
  }
  return first;
}

void CRepeaterDlg::OnOK() {
  if (!UpdateData(true)) {
    return;
  }
  // Saved now as well as at Close: a run can be long, and a crash or a kill during it must not
  // take the job the user typed with it.
  SaveSettings(job_, CurrentWindowSize());
  DuplicateRun run(job_, services_.clipboard, runMessages_);
  if (run.Start()) {
    running_ = true;
    RunWithProgress(run, this, std::chrono::milliseconds(500), &stopRequested_);
    running_ = false;
  }
  if (stopRequested_) {
    CloseForStop();
  }
}

void CRepeaterDlg::OnStopSignal() {
  if (stopRequested_) {
    return;
  }
  stopRequested_ = true;
  CloseWindowsAbove();
  // A run in hand stops within a second (its progress window went as a Cancel), and OnOK()
  // closes once it has.
  if (!running_) {
    CloseForStop();
  }
}

// A message, the progress window, the variable dialog or the file dialog goes as if dismissed;
// whoever opened it carries on without asking more.
void CRepeaterDlg::CloseWindowsAbove() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (auto* other = qobject_cast<QDialog*>(window); other != nullptr && other != this && other->isVisible()) {
      other->reject();
    }
  }
}

void CRepeaterDlg::CloseForStop() {
  CloseWindowsAbove();
  UpdateData(true, true);
  SaveSettings(job_, CurrentWindowSize());
  EndDialog(IDCANCEL);
}

void CRepeaterDlg::OnCancel() {
  UpdateData(true);
  SaveSettings(job_, CurrentWindowSize());
  EndDialog(IDCANCEL);
}

// The close box runs Close once: one exchange, at most one message, one save.
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
    default: break;
  }
}

void CRepeaterDlg::OnDeleteVariable() {
  const int row = SelectedRow();
  if (row < 0 || static_cast<size_t>(row) >= job_.tags.size()) {
    return;
  }
  const auto index = static_cast<size_t>(row);
  const std::string question = LoadMessage(IDS_CONFIRM_DELETE, {job_.tags[index]});
  if (services_.messages.Show(question, MessageButtons::YesNo) != MessageAnswer::Yes) {
    return;
  }
  job_.tags.erase(job_.tags.begin() + row);
  if (index < job_.values.size()) {
    job_.values.erase(job_.values.begin() + row);
  }
  variableList_->removeRow(row);
  variableList_->clearSelection();
}

void CRepeaterDlg::OnBrowseOutputFile() {
  job_.outputFile = outputFileField_->text().toLocal8Bit().toStdString();
  // Folder up to and including the last '/', name after it; without one, both are the whole text.
  std::string folder = job_.outputFile;
  std::string name = job_.outputFile;
  if (const size_t slash = job_.outputFile.rfind('/'); slash != std::string::npos) {
    folder = job_.outputFile.substr(0, slash + 1);
    name = job_.outputFile.substr(slash + 1);
  }
  const std::optional<std::string> chosen = services_.fileDialog.AskSaveFileName(folder, name);
  if (!chosen) {
    return;
  }
  job_.outputFile = *chosen;
  outputFileField_->setText(QString::fromLocal8Bit(chosen->data(), static_cast<qsizetype>(chosen->size())));
}

void CRepeaterDlg::OnAddVariable() {
  CVariableDlg dialog(services_, this);
  if (dialog.DoModal() != IDOK) {
    return;
  }
  job_.tags.push_back(dialog.tag);
  job_.values.push_back(dialog.valueText);
  AppendRow(dialog.tag);
}

void CRepeaterDlg::OnEditVariable() {
  const int row = SelectedRow();
  if (row < 0 || static_cast<size_t>(row) >= job_.tags.size()) {
    return;
  }
  const auto index = static_cast<size_t>(row);
  CVariableDlg dialog(services_, this);
  dialog.tag = job_.tags[index];
  dialog.valueText = index < job_.values.size() ? job_.values[index] : std::string();
  if (dialog.DoModal() != IDOK) {
    return;
  }
  job_.tags[index] = dialog.tag;
  if (index < job_.values.size()) {
    job_.values[index] = dialog.valueText;
  }
  variableList_->item(row, 0)->setText(
      QString::fromLocal8Bit(dialog.tag.data(), static_cast<qsizetype>(dialog.tag.size())));
}

// Acts on the row selected now, which the double click has just selected, not on the point clicked.
void CRepeaterDlg::OnVariableListDoubleClick() {
  OnEditVariable();
}

}  // namespace kelvane
