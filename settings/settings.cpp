#include "settings/settings.h"

#include <cstdint>

#include "platform/registry.h"
#include "res/resource.h"
#include "res/resource_script.h"

namespace kelvane {

namespace {

constexpr char kTextEntry[] = "Text";
constexpr char kOutputFileEntry[] = "Output File";
constexpr char kAppendEntry[] = "Append";
constexpr char kRepeatCountEntry[] = "Repeat Count";
constexpr char kValueNamesEntry[] = "Value Names";
constexpr char kValuesEntry[] = "Values";

// Both the profile calls and the list routines build the key here, so they always name the same place.
std::string SectionKey(const std::string& section) {
  return "Software\\" + res::LoadString(IDS_COMPANY_NAME) + "\\" + res::LoadString(IDS_APP_TITLE) + "\\" + section;
}

// The profile calls create the section's key on every call, reads included.
class ProfileKey {
 public:
  explicit ProfileKey(const std::string& section) {
    ok_ = CreateRegistryKey(SectionKey(section), key_) == RegResult::Success;
  }
  ~ProfileKey() { CloseRegistryKey(key_); }
  ProfileKey(const ProfileKey&) = delete;
  ProfileKey& operator=(const ProfileKey&) = delete;

  [[nodiscard]] bool ok() const { return ok_; }
  [[nodiscard]] const RegKey& key() const { return key_; }

 private:
  RegKey key_;
  bool ok_ = false;
};

bool IsStringType(std::uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

}  // namespace

std::string GetProfileString(const std::string& section, const std::string& entry, const std::string& defaultValue) {
  try {
    const ProfileKey profile(section);
    std::uint32_t type = REG_NONE;
    std::string data;
    if (!profile.ok() || QueryRegistryValue(profile.key(), entry, type, data) != RegResult::Success) {
      return defaultValue;
    }
    return data.substr(0, data.find('\0'));
  } catch (...) {
    return defaultValue;
  }
}

int GetProfileInt(const std::string& section, const std::string& entry, int defaultValue) {
  try {
    const ProfileKey profile(section);
    std::uint32_t type = REG_NONE;
    std::string data;
    // Fewer than four bytes would leave part of the number undefined, and the bytes of a text such as
    // "123" are no number the user meant: both give the default, as a missing value does.
    if (!profile.ok() || QueryRegistryValue(profile.key(), entry, type, data) != RegResult::Success ||
        data.size() != 4 || IsStringType(type)) {
      return defaultValue;
    }
    std::uint32_t number = 0;
    for (size_t i = 0; i < 4; ++i) {
      number |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
    }
    return static_cast<int>(number);
  } catch (...) {
    return defaultValue;
  }
}

bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value) {
  try {
    const ProfileKey profile(section);
    // Stored as a C string, so a NUL inside value ends it, as on Windows.
    std::string data = value.substr(0, value.find('\0'));
    data += '\0';
    return profile.ok() && SetRegistryValue(profile.key(), entry, REG_SZ, data) == RegResult::Success;
  } catch (...) {
    return false;
  }
}

bool WriteProfileInt(const std::string& section, const std::string& entry, int value) {
  try {
    const ProfileKey profile(section);
    const auto number = static_cast<std::uint32_t>(value);
    std::string data;
    for (int i = 0; i < 4; ++i) {
      data += static_cast<char>((number >> (8 * i)) & 0xFFu);
    }
    return profile.ok() && SetRegistryValue(profile.key(), entry, REG_DWORD, data) == RegResult::Success;
  } catch (...) {
    return false;
  }
}

bool SaveStringList(const std::string& section, const std::string& valueName, const std::vector<std::string>& list) {
  try {
    const std::string data = JoinMultiString(list);
    RegKey key;
    if (OpenRegistryKey(SectionKey(section), RegAccess::Write, key) != RegResult::Success) {
      return false;
    }
    const bool written = SetRegistryValue(key, valueName, REG_MULTI_SZ, data) == RegResult::Success;
    CloseRegistryKey(key);
    return written;
  } catch (...) {
    return false;
  }
}

bool LoadStringList(const std::string& section, const std::string& valueName, std::vector<std::string>& list) {
  list.clear();
  try {
    RegKey key;
    if (OpenRegistryKey(SectionKey(section), RegAccess::Read, key) != RegResult::Success) {
      return false;
    }
    std::uint32_t type = REG_NONE;
    std::string data;
    const bool read = QueryRegistryValue(key, valueName, type, data) == RegResult::Success && type == REG_MULTI_SZ;
    CloseRegistryKey(key);
    if (read) {
      list = SplitMultiString(data);
    }
    return read;
  } catch (...) {
    list.clear();
    return false;
  }
}

void LoadSettings(Job& job) {
  job.blockText = GetProfileString(kSettingsSection, kTextEntry, job.blockText);
  job.outputFile = GetProfileString(kSettingsSection, kOutputFileEntry, job.outputFile);
  job.append = GetProfileInt(kSettingsSection, kAppendEntry, job.append);
  job.repeatCount = GetProfileInt(kSettingsSection, kRepeatCountEntry, job.repeatCount);
  LoadStringList(kSettingsSection, kValueNamesEntry, job.tags);
  LoadStringList(kSettingsSection, kValuesEntry, job.values);
  // The dialog addresses both lists with one index: a value text missing (from a list written by
  // another program, or cut short) is an empty one, and a value text without a tag has no variable.
  try {
    job.values.resize(job.tags.size());
  } catch (...) {
    job.tags.clear();
    job.values.clear();
  }
}

bool SaveSettings(const Job& job) {
  // Each call runs even when an earlier one failed, so as much as possible is kept.
  bool saved = WriteProfileString(kSettingsSection, kTextEntry, job.blockText);
  saved = WriteProfileString(kSettingsSection, kOutputFileEntry, job.outputFile) && saved;
  saved = WriteProfileInt(kSettingsSection, kAppendEntry, job.append) && saved;
  saved = WriteProfileInt(kSettingsSection, kRepeatCountEntry, job.repeatCount) && saved;
  saved = SaveStringList(kSettingsSection, kValueNamesEntry, job.tags) && saved;
  saved = SaveStringList(kSettingsSection, kValuesEntry, job.values) && saved;
  return saved;
}

}  // namespace kelvane
