#include "platform/qt/file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace kelvane {

namespace {

QString FromLocal(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::optional<std::string> QtFileDialog::AskSaveFileName(const std::string& initialFolder,
                                                         const std::string& initialName) {
  QFileDialog dialog(parent_);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // An existing file is a fine choice: Duplicate appends to it or replaces it.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  // The caller passes the whole field as folder when it holds no separator; a folder that does not
  // exist would open the dialog on nothing, so the dialog's own start folder is kept then.
  const QString folder = FromLocal(initialFolder);
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
    dialog.setDirectory(folder);
  }
  if (!initialName.empty()) {
    dialog.selectFile(FromLocal(initialName));
  }
  if (dialog.exec() != QDialog::Accepted) {
    return std::nullopt;
  }
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) {
    return std::nullopt;
  }
  return chosen.first().toLocal8Bit().toStdString();
}

}  // namespace kelvane
