// What the dialogs' logic reads and writes in a template dialog's controls.

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>

#include "ui/qt/program_icon.h"
#include "ui/qt/qt_link_window.h"
#include "ui/qt/template_dialog.h"

namespace kelvane {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::string TemplateDialog::GetDlgItemText(int id) const {
  if (const auto* line = Item<QLineEdit>(id)) {
    return line->text().toStdString();
  }
  if (const auto* box = Item<QPlainTextEdit>(id)) {
    return box->toPlainText().toStdString();
  }
  return {};
}

void TemplateDialog::SetDlgItemText(int id, std::string_view text) {
  if (auto* line = Item<QLineEdit>(id)) {
    line->setText(FromUtf8(text));
  } else if (auto* box = Item<QPlainTextEdit>(id)) {
    box->setPlainText(FromUtf8(text));
  }
}

bool TemplateDialog::IsDlgButtonChecked(int id) const {
  const auto* box = Item<QCheckBox>(id);
  return box != nullptr && box->isChecked();
}

void TemplateDialog::CheckDlgButton(int id, bool checked) {
  if (auto* box = Item<QCheckBox>(id)) {
    box->setChecked(checked);
  }
}

void TemplateDialog::GotoDlgCtrl(int id) {
  QWidget* control = GetDlgItem(id);
  if (control == nullptr) {
    return;
  }
  control->setFocus(Qt::OtherFocusReason);
  if (auto* line = qobject_cast<QLineEdit*>(control)) {
    line->selectAll();
  } else if (auto* box = qobject_cast<QPlainTextEdit*>(control)) {
    box->selectAll();
  }
}

void TemplateDialog::EndDialog(int result) {
  QDialog::done(result);
}

void TemplateDialog::SetUpList(int id, std::string_view heading) {
  auto* list = Item<QTableWidget>(id);
  if (list == nullptr) {
    return;
  }
  list->setShowGrid(true);
  list->setHorizontalHeaderLabels({FromUtf8(heading)});
  list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  list->horizontalHeader()->setSectionsMovable(true);
  // A list says nothing by itself; screen readers name it after its heading.
  list->setAccessibleName(FromUtf8(heading));
  lists_.insert(id);
  FitColumns();
}

// As wide as the list less a vertical scroll bar, so the column fits once rows overflow.
void TemplateDialog::FitColumns() {
  for (const int id : lists_) {
    auto* list = Item<QTableWidget>(id);
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    list->setColumnWidth(0, list->width() - scrollBar);
  }
}

void TemplateDialog::InsertListRow(int id, int row, std::string_view text) {
  if (auto* list = Item<QTableWidget>(id)) {
    list->insertRow(row);
    list->setItem(row, 0, new QTableWidgetItem(FromUtf8(text)));
  }
}

void TemplateDialog::SetListRowText(int id, int row, std::string_view text) {
  auto* list = Item<QTableWidget>(id);
  if (list != nullptr && list->item(row, 0) != nullptr) {
    list->item(row, 0)->setText(FromUtf8(text));
  }
}

void TemplateDialog::DeleteListRow(int id, int row) {
  if (auto* list = Item<QTableWidget>(id)) {
    list->removeRow(row);
    list->clearSelection();
  }
}

int TemplateDialog::ListRowCount(int id) const {
  const auto* list = Item<QTableWidget>(id);
  return list != nullptr ? list->rowCount() : 0;
}

int TemplateDialog::SelectedListRow(int id) const {
  const auto* list = Item<QTableWidget>(id);
  if (list == nullptr) {
    return -1;
  }
  int first = -1;
  for (const QTableWidgetItem* item : list->selectedItems()) {
    if (first < 0 || item->row() < first) {
      first = item->row();
    }
  }
  return first;
}

void TemplateDialog::SetProgramIcon() {
  setWindowIcon(ProgramIcon());
}

// Made on first use over the control's line edit.
LinkWindow* TemplateDialog::LinkControl(int id) {
  if (const auto found = links_.find(id); found != links_.end()) {
    return found->second.get();
  }
  auto* field = Item<QLineEdit>(id);
  if (field == nullptr) {
    return nullptr;
  }
  return (links_[id] = std::make_unique<QtLinkWindow>(field)).get();
}

std::optional<WindowSize> TemplateDialog::UserSize() const {
  if (anchors_.empty()) {
    return std::nullopt;
  }
  return WindowSize{width(), height()};
}

// The size kept from the last run, never below the template's nor beyond the screen's room.
void TemplateDialog::RestoreUserSize(WindowSize size) {
  if (size.width <= 0 || size.height <= 0) {
    return;
  }
  QSize restored = QSize(size.width, size.height).expandedTo(minimumSize());
  if (const QScreen* screen = this->screen(); screen != nullptr) {
    restored = restored.boundedTo(screen->availableGeometry().size()).expandedTo(minimumSize());
  }
  resize(restored);
}

}  // namespace kelvane
