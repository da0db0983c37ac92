#include "platform/internet_shortcut.h"

namespace kelvane {

bool SaveShortcutFile(const std::string& path, std::string_view url) {
  return WriteInternetShortcut(path, url);
}

}  // namespace kelvane
