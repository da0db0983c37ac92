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

// Whether a shortcut file can hold url: not when it holds CR, LF or NUL, which would add lines of
// its own.
bool FitsInShortcut(std::string_view url);

// The file's bytes, or nothing for a URL that does not fit in one.
std::optional<std::string> InternetShortcutBytes(std::string_view url);

// Replaces or creates the shortcut file at path, atomically; false, writing nothing, for a URL the
// file cannot hold, a path with NUL, a path or name too long for the replace, or a failed write.
bool WriteInternetShortcut(const std::string& path, std::string_view url);

// Saves the shortcut in folder, named after displayText; false, writing nothing, for a URL that
// does not fit, an empty folder, or a name that is no plain file name on this system (on Windows,
// one holding \ / : * ? " < > | or a control character, or naming a device such as CON), or when
// SaveShortcutFile fails.
bool SaveInternetShortcut(std::string folder, std::string_view displayText, std::string_view url);

// Writes the shortcut file at path for a URL that fits: on Windows through the shell's Internet
// Shortcut object (IPersistFile::Save), elsewhere with WriteInternetShortcut.
bool SaveShortcutFile(const std::string& path, std::string_view url);

}  // namespace kelvane
