// HKEY_CURRENT_USER as a typed key/value store kept in a REGEDIT4 text file: the registry calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/atomic_replace.h"
#include "platform/posix/reg_store.h"
#include "platform/reg_format.h"

namespace kelvane {

// What an open key may do.
enum class RegAccess { Read, Write, ReadWrite };

// An open key: the file that holds it, its path below HKEY_CURRENT_USER, and its access.
struct RegKey {
  std::string file;
  std::string subKey;
  RegAccess access = RegAccess::Read;
  bool open = false;
};

// "HKEY_CURRENT_USER\" + subKey: the section that holds a key.
std::string RegKeyPath(std::string_view subKey);

// Whether a key exists: it has a section, or a key below it has, as importing the file would create it.
bool RegKeyExists(const RegDocument& document, std::string_view subKey);

// Whether a key, or value, name can be stored: no line breaks, no NUL; key names no empty parts.
bool IsValidRegSubKey(std::string_view subKey);
bool IsValidRegValueName(std::string_view name);

// Stores a value in the document, creating the key's section if needed; false when it held that already.
bool PutRegValue(RegDocument& document, std::string_view subKey, std::string_view name, std::uint32_t type,
                 std::string data);

// Opens an existing key, such as "Software\Orvalle Software Inc.\Kelvane\Settings".
RegResult OpenRegistryKey(const std::string& subKey, RegAccess access, RegKey& key) noexcept;

// Opens a key for reading and writing, first creating it and any missing parent.
RegResult CreateRegistryKey(const std::string& subKey, RegKey& key) noexcept;

// Reads a value's type and bytes.
RegResult QueryRegistryValue(const RegKey& key, const std::string& name, std::uint32_t& type,
                             std::string& data) noexcept;

// Stores a value, replacing any value of that name whatever its type.
RegResult SetRegistryValue(const RegKey& key, const std::string& name, std::uint32_t type,
                           std::string_view data) noexcept;

// Closes a key; a second call does nothing.
void CloseRegistryKey(RegKey& key) noexcept;

}  // namespace kelvane
