#include "support/settings_store.h"

#include "support/test_support.h"

namespace kelvane::test {

struct ScopedSettingsStore::Home {
  TempDir folder;
  ScopedEnv config{"XDG_CONFIG_HOME", folder.path().c_str()};
};

ScopedSettingsStore::ScopedSettingsStore() : home_(std::make_unique<Home>()) {}

ScopedSettingsStore::~ScopedSettingsStore() = default;

}  // namespace kelvane::test
