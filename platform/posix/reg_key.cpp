#include "platform/reg_key.h"

#include <utility>

#include "platform/registry.h"

namespace kelvane {

namespace {

// The values of a key's own section, none when only keys below it have sections, taken out of a
// document that is not written back with them: a huge list is not held twice.
std::vector<RegValue> TakeValuesOf(RegDocument& document, const std::string& subKey) {
  RegSection* section = FindRegSection(document, RegKeyPath(subKey));
  return section != nullptr ? std::move(section->values) : std::vector<RegValue>();
}

}  // namespace

std::optional<std::vector<RegValue>> ReadRegKeyValues(const std::string& subKey, bool createKey) {
  if (!createKey) {
    // Opening only: no lock, so a look makes no folder and no lock file.
    RegDocument document;
    if (ReadRegistryStore(RegistryFilePath(), document) != RegResult::Success || !RegKeyExists(document, subKey)) {
      return std::nullopt;
    }
    return TakeValuesOf(document, subKey);
  }
  // Creating takes the lock; another copy holding it too long is waited out, then the file is read
  // as it stands rather than the settings lost.
  std::optional<std::vector<RegValue>> values;
  ChangeRegistryStore(RegistryFilePath(), kLoadLockWait, RegLockMissed::ReadOnly,
                      [&](RegDocument& document, bool mayChange) {
                        bool changed = false;
                        if (mayChange && !RegKeyExists(document, subKey)) {
                          document.sections.push_back({RegKeyPath(subKey), {}, {}});
                          changed = true;
                        }
                        // Written back only when the key was just made, and then it holds none.
                        values = TakeValuesOf(document, subKey);
                        return changed;
                      });
  // What was read counts even when the new key could not be written.
  return values;
}

bool WriteRegKeyValues(const std::string& subKey, std::vector<RegValue> values, bool createKey) {
  if (!createKey && !ReadRegKeyValues(subKey, false)) {
    return false;  // looked at first, without the lock, so that a missing key makes nothing
  }
  bool keyMissing = false;
  // All values in one replace of the file: a kill, a full disk or another copy saving at the same
  // moment leaves the old values or these, never a mix.
  const RegResult result =
      ChangeRegistryStore(RegistryFilePath(), kChangeLockWait, RegLockMissed::Fail, [&](RegDocument& document, bool) {
        if (!createKey && !RegKeyExists(document, subKey)) {
          keyMissing = true;
          return false;
        }
        bool changed = false;
        for (RegValue& value : values) {
          changed = PutRegValue(document, subKey, value.name, value.type, std::move(value.data)) || changed;
        }
        return changed;
      });
  return result == RegResult::Success && !keyMissing;
}

}  // namespace kelvane
