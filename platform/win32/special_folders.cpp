#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include "platform/win32/desktop_services.h"
#include "platform/win32/wide.h"

namespace kelvane {

namespace {

// The folder's path through its item list, which the shell's allocator frees; empty on any failure.
std::string SpecialFolder(int folder) {
  IMalloc* allocator = nullptr;
  if (FAILED(::SHGetMalloc(&allocator))) {
    return {};
  }
  std::string path;
  LPITEMIDLIST items = nullptr;
  if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, folder, &items))) {
    wchar_t buffer[MAX_PATH] = {};
    if (::SHGetPathFromIDListW(items, buffer)) {
      path = Narrow(buffer);
    }
    allocator->Free(items);
  }
  allocator->Release();
  return path;
}

}  // namespace

// A new profile may have no Favorites folder yet; Add to Favorites makes it rather than fail.
std::string FavoritesFolder() {
  return SpecialFolder(CSIDL_FAVORITES | CSIDL_FLAG_CREATE);
}

std::string DesktopFolder() {
  return SpecialFolder(CSIDL_DESKTOP);
}

}  // namespace kelvane
