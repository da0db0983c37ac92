#include "ui/qt/program_icon.h"

namespace kelvane {

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/kelvane-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace kelvane
