// The Internet shortcut a link saves for Add to Favorites and Add to Desktop: a small text file,
// "[InternetShortcut]", "URL=<the link>", each line ending in CR LF, named "<name>.URL".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

// What follows the display text's last '/', else its last ':', else its last '\', else all of it.
// It never holds a '/', so the file always lands in the folder it is saved to.
std::string InternetShortcutName(std::string_view displayText);

// The file's bytes, or nothing for a URL holding CR, LF or NUL, which would add lines of its own.
std::optional<std::string> InternetShortcutBytes(std::string_view url);

// Replaces or creates the shortcut file at path, atomically; false, writing nothing, for a URL the
// file cannot hold, a path with NUL, a path or name too long for the replace, or a failed write.
bool WriteInternetShortcut(const std::string& path, std::string_view url);

// Saves the shortcut in folder, named after displayText; false, writing nothing, as above, for an
// empty folder, or for a name that is no plain file name on this system (on Windows, one holding
// \ : * ? " < > | or a control character).
bool SaveInternetShortcut(std::string folder, std::string_view displayText, std::string_view url);

}  // namespace kelvane
