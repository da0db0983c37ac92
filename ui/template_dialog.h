// A dialog built from a dialog template in res/, laid out in dialog units of the desktop font.
#pragma once

#include <QDialog>
#include <map>
#include <vector>

#include "res/resource_script.h"

class QWidget;

namespace kelvane {

class DataExchange;
class MessageBox;

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

// How a control follows a dialog made larger than its template: the shares of the extra width and
// height by which it moves and by which it grows.
struct Anchor {
  double moveX = 0;
  double moveY = 0;
  double growX = 0;
  double growY = 0;
};

// Plays the part of the framework's dialog class: the template's controls, found by id, the data
// exchange run by UpdateData(), and the OK and Cancel commands.
class TemplateDialog : public QDialog {
 public:
  TemplateDialog(int templateId, MessageBox& messages, QWidget* parent = nullptr);

  // The control with this id, or nullptr.
  [[nodiscard]] QWidget* GetDlgItem(int id) const;
  template <typename T>
  [[nodiscard]] T* Item(int id) const {
    return qobject_cast<T*>(GetDlgItem(id));
  }

  // Moves data between members and controls: into the controls when saveAndValidate is false,
  // into the members, validating, when true. False when a check failed; its message was shown.
  // quiet: a failed check says nothing and leaves the focus where it is.
  bool UpdateData(bool saveAndValidate = true, bool quiet = false);

  // Runs the dialog until it ends; returns IDOK or IDCANCEL.
  int DoModal();

  [[nodiscard]] const res::DialogTemplate& dialogTemplate() const { return template_; }
  [[nodiscard]] const DialogUnits& units() const { return units_; }
  [[nodiscard]] MessageBox& messages() const { return messages_; }

 protected:
  virtual void DoDataExchange(DataExchange& dx) = 0;
  // Called once, when the dialog is first shown; the default moves the members into the controls.
  virtual bool OnInitDialog();
  // The OK command (the default button, Enter): exchange, then end with IDOK.
  virtual void OnOK();
  // The Cancel command (Escape, the Cancel button): end with IDCANCEL.
  virtual void OnCancel();
  // The Help command.
  virtual void OnHelp() {}
  // The close box, Alt+F4 or the window manager's close request; the default is Cancel.
  virtual void OnClose();
  // A push button other than OK, Cancel and Help.
  virtual void OnCommand(int /*id*/) {}
  // Ends the dialog with a result.
  void EndDialog(int result);
  // Lets the user make the dialog larger than its template, which stays its smallest size; the
  // control with this id then moves and grows as anchor says, and a label with the control after
  // it. Controls without an anchor stay where they are.
  void SetAnchor(int id, Anchor anchor);

  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void accept() override;
  void reject() override;

 private:
  void Build();
  QWidget* CreateControl(const res::Control& control);

  const res::DialogTemplate& template_;
  MessageBox& messages_;
  DialogUnits units_;
  void LayOut();

  std::map<int, QWidget*> controls_;
  std::map<int, Anchor> anchors_;
  QSize templateSize_;
  std::vector<QWidget*> widgets_;        // each control, in template order
  std::vector<QRect> templateGeometry_;  // where each was placed
  bool initialised_ = false;
};

}  // namespace kelvane
