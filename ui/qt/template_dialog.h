// A dialog's Qt window, built from its dialog template in res/, laid out in dialog units of the
// desktop font; it shows a CDialog and passes it the window's commands.
#pragma once

#include <QDialog>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "res/resource_script.h"
#include "ui/dialog.h"
#include "ui/dialog_window.h"

class QWidget;

namespace kelvane {

class QtLinkWindow;

// Pixels per dialog unit come from the dialog font: 4 horizontal units are its average
// character width, 8 vertical units its height.
struct DialogUnits {
  int baseX = 0;
  int baseY = 0;

  static DialogUnits ForFont(const QFont& font);
  [[nodiscard]] int X(int units) const;
  [[nodiscard]] int Y(int units) const;
  [[nodiscard]] QRect Rect(int x, int y, int width, int height) const;
};

class TemplateDialog : public QDialog, public DialogWindow {
 public:
  // Builds the window of dialog's template and attaches it to dialog until it goes.
  explicit TemplateDialog(CDialog& dialog, QWidget* parent = nullptr);
  ~TemplateDialog() override;
  TemplateDialog(const TemplateDialog&) = delete;
  TemplateDialog& operator=(const TemplateDialog&) = delete;

  [[nodiscard]] CDialog& dialog() const { return dialog_; }
  // The control with this id, or nullptr.
  [[nodiscard]] QWidget* GetDlgItem(int id) const;
  template <typename T>
  [[nodiscard]] T* Item(int id) const {
    return qobject_cast<T*>(GetDlgItem(id));
  }
  [[nodiscard]] const res::DialogTemplate& dialogTemplate() const { return template_; }
  [[nodiscard]] const DialogUnits& units() const { return units_; }

  [[nodiscard]] std::string GetDlgItemText(int id) const override;
  void SetDlgItemText(int id, std::string_view text) override;
  [[nodiscard]] bool IsDlgButtonChecked(int id) const override;
  void CheckDlgButton(int id, bool checked) override;
  void GotoDlgCtrl(int id) override;
  void EndDialog(int result) override;
  void SetUpList(int id, std::string_view heading) override;
  void InsertListRow(int id, int row, std::string_view text) override;
  void SetListRowText(int id, int row, std::string_view text) override;
  void DeleteListRow(int id, int row) override;
  [[nodiscard]] int ListRowCount(int id) const override;
  [[nodiscard]] int SelectedListRow(int id) const override;
  void SetProgramIcon() override;
  [[nodiscard]] LinkWindow* LinkControl(int id) override;
  // Lets the user make the dialog larger than its template, which stays its smallest size; the
  // control with this id then moves and grows as anchor says, and a label with the control after
  // it. Controls without an anchor stay where they are.
  void SetAnchor(int id, Anchor anchor) override;
  [[nodiscard]] std::optional<WindowSize> UserSize() const override;
  void RestoreUserSize(WindowSize size) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void accept() override;
  void reject() override;

 private:
  void Build();
  QWidget* CreateControl(const res::Control& control);
  void LayOut();
  void FitColumns();

  CDialog& dialog_;
  const res::DialogTemplate& template_;
  DialogUnits units_;

  std::map<int, QWidget*> controls_;
  std::map<int, Anchor> anchors_;
  std::set<int> lists_;  // the lists set up, whose column follows their width
  QSize templateSize_;
  std::vector<QWidget*> widgets_;        // each control, in template order
  std::vector<QRect> templateGeometry_;  // where each was placed
  // Each a child of its field, but deleted before the fields go: it lets go of its link then, while
  // the field is still whole.
  std::map<int, std::unique_ptr<QtLinkWindow>> links_;
  bool initialised_ = false;
};

}  // namespace kelvane
