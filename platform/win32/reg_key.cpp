#include "platform/reg_key.h"

// After reg_format.h, whose REG_* constants windows.h would otherwise turn into numbers.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/win32/wide.h"

namespace kelvane {

namespace {

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// An open key, closed with its owner.
class OpenKey {
 public:
  OpenKey() = default;
  ~OpenKey() {
    if (key_ != nullptr) {
      ::RegCloseKey(key_);
    }
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  // Opens subKey below HKEY_CURRENT_USER with access, first creating it and any missing parent when
  // create; false when it cannot be.
  bool Open(const std::string& subKey, bool create, REGSAM access) {
    const std::wstring name = Widen(subKey);
    const LSTATUS status = create ? ::RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr,
                                                      REG_OPTION_NON_VOLATILE, access, nullptr, &key_, nullptr)
                                  : ::RegOpenKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, access, &key_);
    if (status != ERROR_SUCCESS) {
      key_ = nullptr;
    }
    return key_ != nullptr;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// String data as the registry keeps it, UTF-16 of any byte length, as UTF-8. An odd last byte,
// which only another program can leave, is half a character and is dropped.
std::string NarrowData(const BYTE* data, DWORD size) {
  std::wstring wide(size / sizeof(wchar_t), L'\0');
  std::memcpy(wide.data(), data, wide.size() * sizeof(wchar_t));
  return Narrow(wide);
}

// UTF-8 string data, its NULs included, as the UTF-16 bytes the registry keeps.
std::string WideData(const std::string& data) {
  const std::wstring wide = Widen(data);
  std::string bytes(wide.size() * sizeof(wchar_t), '\0');
  std::memcpy(bytes.data(), wide.data(), bytes.size());
  return bytes;
}

}  // namespace

std::optional<std::vector<RegValue>> ReadRegKeyValues(const std::string& subKey, bool createKey) {
  OpenKey key;
  if (!key.Open(subKey, createKey, KEY_QUERY_VALUE)) {
    return std::nullopt;
  }
  DWORD longestName = 0;
  DWORD largestData = 0;
  if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                         &largestData, nullptr, nullptr) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<RegValue> values;
  std::wstring name(longestName + 1, L'\0');
  std::string data(largestData, '\0');
  // Another program may add or grow a value while this one reads: a buffer found too small grows
  // and the value is read again, a few times at most.
  int retries = 0;
  for (DWORD index = 0;;) {
    auto nameLength = static_cast<DWORD>(name.size());
    auto dataSize = static_cast<DWORD>(data.size());
    DWORD type = REG_NONE;
    const LSTATUS status = ::RegEnumValueW(key.get(), index, name.data(), &nameLength, nullptr, &type,
                                           reinterpret_cast<BYTE*>(data.data()), &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) {
      break;
    }
    if (status == ERROR_MORE_DATA && ++retries <= 8) {
      // The size wanted is given for the data, not for the name: grow both.
      data.resize(std::max<size_t>({static_cast<size_t>(dataSize), data.size() * 2, 64}));
      name.resize(std::min<size_t>(name.size() * 2 + 64, 32768));
      continue;
    }
    if (status != ERROR_SUCCESS) {
      return std::nullopt;
    }
    retries = 0;
    const auto* bytes = reinterpret_cast<const BYTE*>(data.data());
    values.push_back({Narrow(std::wstring_view(name.data(), nameLength)), type,
                      IsStringType(type) ? NarrowData(bytes, dataSize) : std::string(data.data(), dataSize)});
    ++index;
  }
  return values;
}

bool WriteRegKeyValues(const std::string& subKey, std::vector<RegValue> values, bool createKey) {
  OpenKey key;
  if (!key.Open(subKey, createKey, KEY_SET_VALUE)) {
    return false;
  }
  // One value after another: the registry keeps each whole, but has no transaction for several. A
  // value that cannot be written does not keep the others from being written.
  bool written = true;
  for (RegValue& value : values) {
    std::string bytes = IsStringType(value.type) ? WideData(value.data) : std::move(value.data);
    if (bytes.size() > MAXDWORD) {
      written = false;
      continue;
    }
    written = ::RegSetValueExW(key.get(), Widen(value.name).c_str(), 0, value.type,
                               reinterpret_cast<const BYTE*>(bytes.data()),
                               static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS &&
              written;
  }
  return written;
}

}  // namespace kelvane
