// The program's icon (resource 128) at every size it is drawn in.
#pragma once

#include <QIcon>

namespace kelvane {

QIcon ProgramIcon();

}  // namespace kelvane
