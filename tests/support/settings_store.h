// A settings store of a test's own, on every system.
#pragma once

#include <memory>
#include <string>

namespace kelvane::test {

// For the life of the object the registry holds nothing of the program's: on Linux the store is a
// fresh configuration folder; on Windows "HKEY_CURRENT_USER\Software\Orvalle Software Inc." loses
// its "Kelvane" key before and after. That is done only under Wine, whose prefix is the build's own
// (tests/support/wine_run.sh), or where KELVANE_TEST_REGISTRY=1 says the registry is a test's.
class ScopedSettingsStore {
 public:
  ScopedSettingsStore();
  ~ScopedSettingsStore();
  ScopedSettingsStore(const ScopedSettingsStore&) = delete;
  ScopedSettingsStore& operator=(const ScopedSettingsStore&) = delete;

  // Why the store may not be touched here, for GTEST_SKIP(); empty when it may.
  [[nodiscard]] const std::string& skipReason() const { return skipReason_; }

 private:
  struct Home;
  std::unique_ptr<Home> home_;
  std::string skipReason_;
};

}  // namespace kelvane::test
