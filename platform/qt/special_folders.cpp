#include "platform/qt/special_folders.h"

#include <QDir>
#include <QStandardPaths>

namespace kelvane {

std::string DesktopFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation).toLocal8Bit().toStdString();
}

std::string FavoritesFolder() {
  // Linux has no Favorites folder of its own; the Windows one lived in the user's profile folder.
  const QString folder = QDir(QDir::homePath()).filePath(QStringLiteral("Favorites"));
  QDir().mkpath(folder);
  return folder.toLocal8Bit().toStdString();
}

}  // namespace kelvane
