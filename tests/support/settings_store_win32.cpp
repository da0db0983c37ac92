#include "support/settings_store.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace kelvane::test {

namespace {

bool UnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void RemoveProgramKey() {
  HKEY company = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Orvalle Software Inc.", 0, KEY_ALL_ACCESS, &company) ==
      ERROR_SUCCESS) {
    ::RegDeleteTreeW(company, L"Kelvane");
    ::RegCloseKey(company);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Orvalle Software Inc.");  // only when nothing else is in it
  }
}

}  // namespace

struct ScopedSettingsStore::Home {};

ScopedSettingsStore::ScopedSettingsStore() {
  const char* allowed = std::getenv("KELVANE_TEST_REGISTRY");
  if (!UnderWine() && (allowed == nullptr || std::strcmp(allowed, "1") != 0)) {
    skipReason_ =
        "this is not Wine, so the registry may be a user's: set KELVANE_TEST_REGISTRY=1 to let the "
        "tests remove HKEY_CURRENT_USER\\Software\\Orvalle Software Inc.\\Kelvane";
    return;
  }
  RemoveProgramKey();
}

ScopedSettingsStore::~ScopedSettingsStore() {
  if (skipReason_.empty()) {
    RemoveProgramKey();
  }
}

}  // namespace kelvane::test
