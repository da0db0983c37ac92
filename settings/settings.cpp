#include "settings/settings.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <variant>

#include "platform/reg_key.h"
#include "res/resource.h"
#include "res/resource_script.h"

namespace kelvane {

namespace {

// A setting of a job: its value's name and the member that holds it. The member's type gives the
// value's type (a string is REG_SZ, an int REG_DWORD, a list REG_MULTI_SZ), and what it holds before
// a load is the default.
struct Setting {
  const char* name;
  std::variant<std::string Job::*, int Job::*, std::vector<std::string> Job::*> member;
};

// Every setting, in the order it is loaded and saved. A new setting is one more row.
constexpr Setting kSettings[] = {
    {"Text", &Job::blockText},           {"Output File", &Job::outputFile}, {"Append", &Job::append},
    {"Repeat Count", &Job::repeatCount}, {"Value Names", &Job::tags},       {"Values", &Job::values},
};

// Both the profile calls and the list routines build the key here, so they always name the same place.
std::string SectionKey(const std::string& section) {
  return "Software\\" + res::LoadString(IDS_COMPANY_NAME) + "\\" + res::LoadString(IDS_APP_TITLE) + "\\" + section;
}

bool IsStringType(std::uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// A string value of any type, up to its first NUL.
std::string StringFrom(const RegValue* value, const std::string& defaultValue) {
  return value == nullptr ? defaultValue : value->data.substr(0, value->data.find('\0'));
}

// Fewer than four bytes would leave part of the number undefined, and the bytes of a text such as
// "123" are no number the user meant: both give the default, as a missing value does.
int IntFrom(const RegValue* value, int defaultValue) {
  if (value == nullptr || value->data.size() != 4 || IsStringType(value->type)) {
    return defaultValue;
  }
  std::uint32_t number = 0;
  for (size_t i = 0; i < 4; ++i) {
    number |= static_cast<std::uint32_t>(static_cast<unsigned char>(value->data[i])) << (8 * i);
  }
  return static_cast<int>(number);
}

// Only a REG_MULTI_SZ value is a list; anything else leaves it empty.
bool ListFrom(const RegValue* value, std::vector<std::string>& list) {
  list.clear();
  if (value == nullptr || value->type != REG_MULTI_SZ) {
    return false;
  }
  list = SplitMultiString(value->data);
  return true;
}

// Stored as a C string, so a NUL inside value ends it, as on Windows.
std::string StringData(const std::string& value) {
  std::string data = value.substr(0, value.find('\0'));
  data += '\0';
  return data;
}

std::string IntData(int value) {
  const auto number = static_cast<std::uint32_t>(value);
  std::string data;
  for (int i = 0; i < 4; ++i) {
    data += static_cast<char>((number >> (8 * i)) & 0xFFu);
  }
  return data;
}

// The seventh setting, the window's own: width in the low 16 bits, height in the high 16, as a
// DWORD. Not a job's, so it neither counts as a saved job nor is written by a save of one.
constexpr char kWindowSizeName[] = "Window Size";

WindowSize WindowSizeFrom(const RegValue* value, WindowSize defaultValue) {
  if (value == nullptr || value->data.size() != 4 || IsStringType(value->type)) {
    return defaultValue;
  }
  const auto packed = static_cast<std::uint32_t>(IntFrom(value, 0));
  return {static_cast<int>(packed & 0xFFFFu), static_cast<int>(packed >> 16)};
}

std::string WindowSizeData(const WindowSize& window) {
  const auto clamp = [](int pixels) { return static_cast<std::uint32_t>(std::clamp(pixels, 0, 0xFFFF)); };
  return IntData(static_cast<int>(clamp(window.width) | (clamp(window.height) << 16)));
}

// The values of the section's key: the profile calls create the key on every call, reads included;
// the list routines and a look only open it. Nothing when it is missing or cannot be read.
std::optional<std::vector<RegValue>> ReadSection(const std::string& section, bool createKey) {
  return ReadRegKeyValues(SectionKey(section), createKey);
}

const RegValue* Find(const std::optional<std::vector<RegValue>>& values, const std::string& name) {
  return values ? FindRegValue(*values, name) : nullptr;
}

}  // namespace

std::string GetProfileString(const std::string& section, const std::string& entry, const std::string& defaultValue) {
  try {
    return StringFrom(Find(ReadSection(section, true), entry), defaultValue);
  } catch (...) {
    return defaultValue;
  }
}

int GetProfileInt(const std::string& section, const std::string& entry, int defaultValue) {
  try {
    return IntFrom(Find(ReadSection(section, true), entry), defaultValue);
  } catch (...) {
    return defaultValue;
  }
}

bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value) {
  try {
    return WriteRegKeyValues(SectionKey(section), {{entry, REG_SZ, StringData(value)}}, true);
  } catch (...) {
    return false;
  }
}

bool WriteProfileInt(const std::string& section, const std::string& entry, int value) {
  try {
    return WriteRegKeyValues(SectionKey(section), {{entry, REG_DWORD, IntData(value)}}, true);
  } catch (...) {
    return false;
  }
}

bool SaveStringList(const std::string& section, const std::string& valueName, const std::vector<std::string>& list) {
  try {
    return WriteRegKeyValues(SectionKey(section), {{valueName, REG_MULTI_SZ, JoinMultiString(list)}}, false);
  } catch (...) {
    return false;
  }
}

bool LoadStringList(const std::string& section, const std::string& valueName, std::vector<std::string>& list) {
  list.clear();
  try {
    // The list routines only open the key: they never create it.
    return ListFrom(Find(ReadSection(section, false), valueName), list);
  } catch (...) {
    list.clear();
    return false;
  }
}

void LoadSettings(Job& job) {
  WindowSize unused;
  LoadSettings(job, unused);
}

void LoadSettings(Job& job, WindowSize& window) {
  const Job defaults = job;
  try {
    for (const Setting& setting : kSettings) {
      if (const auto* list = std::get_if<std::vector<std::string> Job::*>(&setting.member)) {
        (job.**list).clear();  // emptied even when nothing can be read
      }
    }
    // One read of the key for all of them.
    const std::optional<std::vector<RegValue>> values = ReadSection(kSettingsSection, true);
    for (const Setting& setting : kSettings) {
      const RegValue* value = Find(values, setting.name);
      std::visit(
          [&](auto member) {
            using Type = std::remove_reference_t<decltype(job.*member)>;
            if constexpr (std::is_same_v<Type, std::string>) {
              job.*member = StringFrom(value, job.*member);
            } else if constexpr (std::is_same_v<Type, int>) {
              job.*member = IntFrom(value, job.*member);
            } else {
              ListFrom(value, job.*member);
            }
          },
          setting.member);
    }
    window = WindowSizeFrom(Find(values, kWindowSizeName), window);
    // The dialog addresses both lists with one index: a value text missing (from a list written by
    // another program, or cut short) is an empty one, and a value text without a tag has no variable.
    job.values.resize(job.tags.size());
  } catch (...) {
    // Out of memory on a huge list: the defaults, with no variables, rather than half a job.
    job = defaults;
    job.tags.clear();
    job.values.clear();
  }
}

bool HasSavedSettings() {
  try {
    // Read as the list routines read: a look that creates nothing.
    const std::optional<std::vector<RegValue>> values = ReadSection(kSettingsSection, false);
    return std::any_of(std::begin(kSettings), std::end(kSettings),
                       [&](const Setting& setting) { return Find(values, setting.name) != nullptr; });
  } catch (...) {
    return false;
  }
}

namespace {

bool SaveAll(const Job& job, const WindowSize* window) {
  try {
    std::vector<RegValue> values;
    values.reserve(std::size(kSettings));
    for (const Setting& setting : kSettings) {
      std::visit(
          [&](auto member) {
            using Type = std::remove_cvref_t<decltype(job.*member)>;
            if constexpr (std::is_same_v<Type, std::string>) {
              values.push_back({setting.name, REG_SZ, StringData(job.*member)});
            } else if constexpr (std::is_same_v<Type, int>) {
              values.push_back({setting.name, REG_DWORD, IntData(job.*member)});
            } else {
              values.push_back({setting.name, REG_MULTI_SZ, JoinMultiString(job.*member)});
            }
          },
          setting.member);
    }
    if (window != nullptr) {
      values.push_back({kWindowSizeName, REG_DWORD, WindowSizeData(*window)});
    }
    // In one write of the key: on Linux one replace of the file, so a kill, a full disk or another
    // copy saving at the same moment leaves the old job or this one, never a mix.
    return WriteRegKeyValues(SectionKey(kSettingsSection), std::move(values), true);
  } catch (...) {
    return false;
  }
}

}  // namespace

bool SaveSettings(const Job& job) {
  return SaveAll(job, nullptr);
}

bool SaveSettings(const Job& job, const WindowSize& window) {
  return SaveAll(job, &window);
}

}  // namespace kelvane
