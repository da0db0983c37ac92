// The REGEDIT4 text format of the registry file: its document, reading and writing it. Pure: no files.
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

// REG_MULTI_SZ data: each element (up to any NUL in it) followed by a NUL, then one more NUL.
std::string JoinMultiString(const std::vector<std::string>& elements);

// An ASCII letter in upper case; any other byte as it is.
char FoldAscii(char c);

// Whether two key or value names are the same to the registry, which ignores the case of ASCII letters.
bool SameRegName(std::string_view a, std::string_view b);

// The section of a key's full path, or nullptr.
RegSection* FindRegSection(RegDocument& document, std::string_view path);
const RegSection* FindRegSection(const RegDocument& document, std::string_view path);

// The value of that name in a section, or among values, or nullptr.
RegValue* FindRegValue(RegSection& section, std::string_view name);
const RegValue* FindRegValue(const RegSection& section, std::string_view name);
const RegValue* FindRegValue(const std::vector<RegValue>& values, std::string_view name);

}  // namespace kelvane
