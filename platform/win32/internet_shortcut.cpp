#include "platform/internet_shortcut.h"

#include "platform/win32/shortcut_object.h"
#include "platform/win32/wide.h"

namespace kelvane {

namespace {

// The longest path the shell object's Save takes: MAX_PATH less its terminating NUL.
constexpr std::size_t kLongestPath = MAX_PATH - 1;

}  // namespace

// What the file holds is the shell's to decide: Windows adds a section of its own for a URL the
// ANSI code page cannot hold.
bool SaveShortcutFile(const std::string& path, std::string_view url) {
  const std::wstring widePath = Widen(path);
  if (!FitsInShortcut(url) || widePath.size() > kLongestPath || widePath.find(L'\0') != std::wstring::npos) {
    return false;
  }
  const ComApartment com;
  if (!com.ready()) {
    return false;
  }
  const InternetShortcutObject shortcut(Widen(url));
  if (shortcut.get() == nullptr) {
    return false;
  }
  void* persist = nullptr;
  if (FAILED(shortcut.get()->QueryInterface(IID_IPersistFile, &persist))) {
    return false;
  }
  auto* file = static_cast<IPersistFile*>(persist);
  const HRESULT saved = file->Save(widePath.c_str(), TRUE);
  file->Release();
  return SUCCEEDED(saved);
}

}  // namespace kelvane
