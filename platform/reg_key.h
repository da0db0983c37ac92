// One key below HKEY_CURRENT_USER, its values read or written together: the registry as the settings
// store uses it, on every system. String data is UTF-8 here, whatever the system keeps.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/reg_format.h"

namespace kelvane {

// Every value of a key such as "Software\Orvalle Software Inc.\Kelvane\Settings". With createKey a
// missing key is created first; nothing when the key does not exist and is not created, or cannot be
// read. String types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) are UTF-8 with every NUL where it stood;
// other types are their bytes. Throws std::bad_alloc only.
std::optional<std::vector<RegValue>> ReadRegKeyValues(const std::string& subKey, bool createKey);

// Stores values, in order, each replacing any value of its name, in a key that must exist unless
// createKey; true when every one was written. String data is UTF-8. Throws std::bad_alloc only.
bool WriteRegKeyValues(const std::string& subKey, std::vector<RegValue> values, bool createKey);

}  // namespace kelvane
