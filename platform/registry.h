// HKEY_CURRENT_USER as a typed key/value store kept in a REGEDIT4 text file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// Value types, numbered as the Windows registry numbers them.
inline constexpr std::uint32_t REG_NONE = 0;
// A string stored with its terminating NUL.
inline constexpr std::uint32_t REG_SZ = 1;
// A string naming environment variables, stored like REG_SZ.
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
// Raw bytes.
inline constexpr std::uint32_t REG_BINARY = 3;
// A 32-bit number, 4 bytes little-endian.
inline constexpr std::uint32_t REG_DWORD = 4;
// Strings, each followed by a NUL, then one more NUL.
inline constexpr std::uint32_t REG_MULTI_SZ = 7;

// One named value of a key; the empty name is the key's default value ("@").
struct RegValue {
  std::string name;
  std::uint32_t type = REG_NONE;
  std::string data;

  bool operator==(const RegValue&) const = default;
};

// One "[...]" section: a key's full path ("HKEY_CURRENT_USER\Software\X"), its comments and its values.
struct RegSection {
  std::string path;
  std::vector<std::string> comments;
  std::vector<RegValue> values;

  bool operator==(const RegSection&) const = default;
};

// The contents of a registry file: comment lines before the first section, then the sections.
struct RegDocument {
  std::vector<std::string> comments;
  std::vector<RegSection> sections;

  bool operator==(const RegDocument&) const = default;
};

// A line of a registry file that could not be read, counted from 1.
struct RegParseIssue {
  std::size_t line = 0;
  std::string reason;
};

// What a registry file yields: everything readable, and what was not.
struct RegParseResult {
  RegDocument document;
  std::vector<RegParseIssue> issues;
};

// Reads REGEDIT4 text (CR LF or LF line ends). Never fails: unreadable lines are skipped and listed.
RegParseResult ParseRegFile(std::string_view text);

// Writes a document as REGEDIT4 text with CR LF line ends, in the form ParseRegFile reads back exactly.
std::string FormatRegFile(const RegDocument& document);

// Every element of REG_MULTI_SZ data up to its final terminator, empty ones included, or up to its end.
std::vector<std::string> SplitMultiString(std::string_view data);

// REG_MULTI_SZ data: each element followed by a NUL, then one more NUL.
std::string JoinMultiString(const std::vector<std::string>& elements);

// "$XDG_CONFIG_HOME/Orvalle Software Inc./Kelvane.reg" ($HOME/.config unless absolute); empty without a home.
std::string RegistryFilePath();

// Replaces or creates the regular file at path so a crash leaves old or new bytes, keeping its mode; 0 or errno.
int ReplaceFileAtomically(const std::string& path, std::string_view bytes) noexcept;

// What a registry call returns.
enum class RegResult {
  Success,
  NotFound,          // the key or value does not exist
  AccessDenied,      // the key was not opened for this, or the file cannot be replaced
  InvalidHandle,     // the key is not open
  InvalidParameter,  // a name the file cannot hold
  IoError,           // the file could not be read, locked or written
};

// What an open key may do.
enum class RegAccess { Read, Write, ReadWrite };

// An open key: the file that holds it, its path below HKEY_CURRENT_USER, and its access.
struct RegKey {
  std::string file;
  std::string subKey;
  RegAccess access = RegAccess::Read;
  bool open = false;
};

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
