#include "platform/registry.h"

namespace kelvane {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kRoot = "HKEY_CURRENT_USER\\";

}  // namespace

std::string RegKeyPath(std::string_view subKey) {
  std::string path(kRoot);
  path += subKey;
  return path;
}

bool RegKeyExists(const RegDocument& document, std::string_view subKey) {
  const std::string path = RegKeyPath(subKey);
  for (const RegSection& section : document.sections) {
    const std::string_view name = section.path;
    if (name.size() >= path.size() && SameRegName(name.substr(0, path.size()), path) &&
        (name.size() == path.size() || name[path.size()] == '\\')) {
      return true;
    }
  }
  return false;
}

bool IsValidRegValueName(std::string_view name) {
  return name.find_first_of("\r\n\0"sv) == std::string_view::npos;
}

bool IsValidRegSubKey(std::string_view subKey) {
  if (subKey.empty() || !IsValidRegValueName(subKey)) {
    return false;
  }
  size_t start = 0;
  for (;;) {
    const size_t end = subKey.find('\\', start);
    if (end == start || start == subKey.size()) {
      return false;  // an empty name between backslashes
    }
    if (end == std::string_view::npos) {
      return true;
    }
    start = end + 1;
  }
}

bool PutRegValue(RegDocument& document, std::string_view subKey, std::string_view name, std::uint32_t type,
                 std::string data) {
  const std::string path = RegKeyPath(subKey);
  RegSection* section = FindRegSection(document, path);
  if (section == nullptr) {
    // A key removed by hand since it was opened comes back rather than losing the value.
    section = &document.sections.emplace_back(RegSection{path, {}, {}});
  }
  if (RegValue* value = FindRegValue(*section, name)) {
    if (value->type == type && value->data == data) {
      return false;
    }
    value->type = type;  // under the name it had
    value->data = std::move(data);
    return true;
  }
  section->values.push_back({std::string(name), type, std::move(data)});
  return true;
}

RegResult OpenRegistryKey(const std::string& subKey, RegAccess access, RegKey& key) noexcept {
  try {
    CloseRegistryKey(key);
    if (!IsValidRegSubKey(subKey)) {
      return RegResult::InvalidParameter;
    }
    std::string file = RegistryFilePath();
    if (file.empty()) {
      return RegResult::NotFound;
    }
    RegDocument document;
    if (const RegResult result = ReadRegistryStore(file, document); result != RegResult::Success) {
      return result;
    }
    if (!RegKeyExists(document, subKey)) {
      return RegResult::NotFound;
    }
    key = {std::move(file), subKey, access, true};
    return RegResult::Success;
  } catch (...) {
    return RegResult::IoError;
  }
}

RegResult CreateRegistryKey(const std::string& subKey, RegKey& key) noexcept {
  try {
    if (const RegResult opened = OpenRegistryKey(subKey, RegAccess::ReadWrite, key); opened != RegResult::NotFound) {
      return opened;  // it exists already, so nothing needs writing
    }
    std::string file = RegistryFilePath();
    const RegResult result =
        ChangeRegistryStore(file, kChangeLockWait, RegLockMissed::Fail, [&](RegDocument& document, bool) {
          if (RegKeyExists(document, subKey)) {
            return false;
          }
          document.sections.push_back({RegKeyPath(subKey), {}, {}});
          return true;
        });
    if (result == RegResult::Success) {
      key = {std::move(file), subKey, RegAccess::ReadWrite, true};
    }
    return result;
  } catch (...) {
    return RegResult::IoError;
  }
}

RegResult QueryRegistryValue(const RegKey& key, const std::string& name, std::uint32_t& type,
                             std::string& data) noexcept {
  try {
    if (!key.open) {
      return RegResult::InvalidHandle;
    }
    if (key.access == RegAccess::Write) {
      return RegResult::AccessDenied;
    }
    RegDocument document;
    if (const RegResult result = ReadRegistryStore(key.file, document); result != RegResult::Success) {
      return result;
    }
    const RegSection* section = FindRegSection(document, RegKeyPath(key.subKey));
    const RegValue* value = section != nullptr ? FindRegValue(*section, name) : nullptr;
    if (value == nullptr) {
      return RegResult::NotFound;
    }
    type = value->type;
    data = value->data;
    return RegResult::Success;
  } catch (...) {
    return RegResult::IoError;
  }
}

RegResult SetRegistryValue(const RegKey& key, const std::string& name, std::uint32_t type,
                           std::string_view data) noexcept {
  try {
    if (!key.open) {
      return RegResult::InvalidHandle;
    }
    if (key.access == RegAccess::Read) {
      return RegResult::AccessDenied;
    }
    if (!IsValidRegValueName(name)) {
      return RegResult::InvalidParameter;
    }
    return ChangeRegistryStore(key.file, kChangeLockWait, RegLockMissed::Fail, [&](RegDocument& document, bool) {
      return PutRegValue(document, key.subKey, name, type, std::string(data));
    });
  } catch (...) {
    return RegResult::IoError;
  }
}

void CloseRegistryKey(RegKey& key) noexcept {
  key.open = false;
  key.file.clear();
  key.subKey.clear();
}

}  // namespace kelvane
