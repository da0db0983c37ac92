#include "settings/settings.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <variant>

#include "platform/registry.h"
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

// The value of that name in the section's key, or nullptr.
const RegValue* Find(const RegDocument& document, const std::string& section, const std::string& name) {
  const RegSection* found = FindRegSection(document, RegKeyPath(SectionKey(section)));
  return found != nullptr ? FindRegValue(*found, name) : nullptr;
}

// One load: the profile calls create the section's key on every call, reads included, so a load
// does too when it has the store's lock; then read hands the document over to be read.
bool LoadSection(const std::string& section, const std::function<void(const RegDocument&)>& read) {
  const std::string key = SectionKey(section);
  return ChangeRegistryStore(RegistryFilePath(), kLoadLockWait, RegLockMissed::ReadOnly,
                             [&](RegDocument& document, bool mayChange) {
                               bool changed = false;
                               if (mayChange && !RegKeyExists(document, key)) {
                                 document.sections.push_back({RegKeyPath(key), {}, {}});
                                 changed = true;
                               }
                               read(document);
                               return changed;
                             }) == RegResult::Success;
}

// One save of values into the section's key, which must exist unless createKey.
bool SaveSection(const std::string& section, std::vector<RegValue> values, bool createKey) {
  const std::string key = SectionKey(section);
  if (!createKey) {
    // Looking first, without the lock, makes no folder and no lock file for a key that is not there.
    RegDocument document;
    if (ReadRegistryStore(RegistryFilePath(), document) != RegResult::Success || !RegKeyExists(document, key)) {
      return false;
    }
  }
  bool keyMissing = false;
  const RegResult result =
      ChangeRegistryStore(RegistryFilePath(), kChangeLockWait, RegLockMissed::Fail, [&](RegDocument& document, bool) {
        if (!createKey && !RegKeyExists(document, key)) {
          keyMissing = true;
          return false;
        }
        bool changed = false;
        for (RegValue& value : values) {
          changed = PutRegValue(document, key, value.name, value.type, std::move(value.data)) || changed;
        }
        return changed;
      });
  return result == RegResult::Success && !keyMissing;
}

}  // namespace

std::string GetProfileString(const std::string& section, const std::string& entry, const std::string& defaultValue) {
  try {
    std::string value = defaultValue;
    LoadSection(section,
                [&](const RegDocument& document) { value = StringFrom(Find(document, section, entry), value); });
    return value;
  } catch (...) {
    return defaultValue;
  }
}

int GetProfileInt(const std::string& section, const std::string& entry, int defaultValue) {
  try {
    int value = defaultValue;
    LoadSection(section, [&](const RegDocument& document) { value = IntFrom(Find(document, section, entry), value); });
    return value;
  } catch (...) {
    return defaultValue;
  }
}

bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value) {
  try {
    return SaveSection(section, {{entry, REG_SZ, StringData(value)}}, true);
  } catch (...) {
    return false;
  }
}

bool WriteProfileInt(const std::string& section, const std::string& entry, int value) {
  try {
    return SaveSection(section, {{entry, REG_DWORD, IntData(value)}}, true);
  } catch (...) {
    return false;
  }
}

bool SaveStringList(const std::string& section, const std::string& valueName, const std::vector<std::string>& list) {
  try {
    return SaveSection(section, {{valueName, REG_MULTI_SZ, JoinMultiString(list)}}, false);
  } catch (...) {
    return false;
  }
}

bool LoadStringList(const std::string& section, const std::string& valueName, std::vector<std::string>& list) {
  list.clear();
  try {
    // The list routines only open the key: they never create it, and need no lock.
    RegDocument document;
    const std::string key = SectionKey(section);
    if (ReadRegistryStore(RegistryFilePath(), document) != RegResult::Success || !RegKeyExists(document, key)) {
      return false;
    }
    return ListFrom(Find(document, section, valueName), list);
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
    LoadSection(kSettingsSection, [&](const RegDocument& document) {
      for (const Setting& setting : kSettings) {
        const RegValue* value = Find(document, kSettingsSection, setting.name);
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
      window = WindowSizeFrom(Find(document, kSettingsSection, kWindowSizeName), window);
    });
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
    // Read as the list routines read: a look that creates neither the file nor the key.
    RegDocument document;
    if (ReadRegistryStore(RegistryFilePath(), document) != RegResult::Success) {
      return false;
    }
    return std::any_of(std::begin(kSettings), std::end(kSettings), [&](const Setting& setting) {
      return Find(document, kSettingsSection, setting.name) != nullptr;
    });
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
    // All in one replace of the file: a kill, a full disk or another copy saving at the same
    // moment leaves the old job or this one, never a mix.
    return SaveSection(kSettingsSection, std::move(values), true);
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
