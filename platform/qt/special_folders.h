// The special folders that shortcuts are saved in.
#pragma once

#include <string>

namespace kelvane {

// The user's desktop folder (XDG_DESKTOP_DIR, else ~/Desktop), local 8-bit; empty when the system
// names none.
std::string DesktopFolder();
// ~/Favorites, created when it is missing; a save into it fails when it could not be.
std::string FavoritesFolder();

}  // namespace kelvane
