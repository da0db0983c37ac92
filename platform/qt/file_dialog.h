// The save form of the file dialog as a QFileDialog.
#pragma once

#include "platform/shell.h"

class QWidget;

namespace kelvane {

class QtFileDialog : public FileDialog {
 public:
  // Dialogs are modal to parent (none: to the application).
  explicit QtFileDialog(QWidget* parent = nullptr) : parent_(parent) {}

  // Opens in initialFolder when it is an existing folder, with initialName as the name; no
  // filter, no overwrite prompt. Paths are local 8-bit.
  std::optional<std::string> AskSaveFileName(const std::string& initialFolder, const std::string& initialName) override;

 private:
  QWidget* parent_;
};

}  // namespace kelvane
