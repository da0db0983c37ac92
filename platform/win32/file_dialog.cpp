#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <vector>

#include "platform/win32/desktop_services.h"
#include "platform/win32/wide.h"

namespace kelvane {

namespace {

// The dialog's name box takes the first 259 characters of the initial name, as its 260-character
// buffer did; a surrogate pair is never cut in two.
constexpr std::size_t kLongestInitialName = MAX_PATH - 1;
// The path chosen may be as long as the system allows.
constexpr DWORD kChosenPathRoom = 32768;

}  // namespace

std::optional<std::string> Win32FileDialog::AskSaveFileName(const std::string& initialFolder,
                                                            const std::string& initialName) {
  std::wstring name = Widen(initialName);
  if (name.size() > kLongestInitialName) {
    const bool splitsPair = name[kLongestInitialName - 1] >= 0xD800 && name[kLongestInitialName - 1] <= 0xDBFF;
    name.resize(splitsPair ? kLongestInitialName - 1 : kLongestInitialName);
  }
  std::vector<wchar_t> file(kChosenPathRoom, L'\0');
  name.copy(file.data(), name.size());
  const std::wstring folder = Widen(initialFolder);

  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = ::GetActiveWindow();
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = kChosenPathRoom;
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  // An existing file is a fine choice, to append to or to replace: no overwrite prompt.
  dialog.Flags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
  if (::GetSaveFileNameW(&dialog) == 0) {
    return std::nullopt;  // cancelled, or the dialog could not be shown
  }
  return Narrow(file.data());
}

}  // namespace kelvane
