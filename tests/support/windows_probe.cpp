// What the end-to-end tests cannot see from X: the Windows clipboard and the controls of a window,
// read from inside the Wine prefix. Prints UTF-8 on standard output.
//   windows_probe clipboard          the clipboard's CF_UNICODETEXT; exit 1 when it holds none
//   windows_probe put-clipboard TEXT empties the clipboard, puts TEXT and a private format beside it
//   windows_probe private-format     the private format's bytes; exit 1 when it is gone
//   windows_probe controls TITLE     the controls of each visible top-level window named TITLE, the
//                                    top one first, one a line: id, class and text (and "checked" or
//                                    "unchecked" for a check box), list view rows as "row N", and the
//                                    focused control's id; exit 1 when there is no such window
//   windows_probe desktop-folder     the user's Desktop folder
// Line breaks, tabs and backslashes in texts are written \r, \n, \t and \\ so that a line is a line.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/wide.h"

namespace {

constexpr char kPrivateFormatData[] = "kept beside the text";

UINT PrivateFormat() {
  return RegisterClipboardFormatW(L"Kelvane end-to-end test format");
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

std::string Escaped(const std::wstring& text) {
  std::string out;
  for (char c : kelvane::Narrow(text)) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  return out;
}

// The clipboard is busy while its owner (or Wine's X bridge) works on it: try for a while.
bool OpenClipboardPatiently() {
  for (int tries = 0; tries < 200; ++tries) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(25);
  }
  std::fprintf(stderr, "windows_probe: the clipboard stayed busy\n");
  return false;
}

int PrintClipboard() {
  if (!OpenClipboardPatiently()) return 2;
  int status = 1;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
      Print(kelvane::Narrow(text));
      GlobalUnlock(data);
      status = 0;
    }
  }
  CloseClipboard();
  return status;
}

bool PutGlobal(UINT format, const void* bytes, std::size_t size) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (memory == nullptr) return false;
  std::memcpy(GlobalLock(memory), bytes, size);
  GlobalUnlock(memory);
  if (SetClipboardData(format, memory) != nullptr) return true;
  GlobalFree(memory);
  return false;
}

int PutClipboard(const std::wstring& text) {
  if (!OpenClipboardPatiently()) return 2;
  bool put = EmptyClipboard() && PutGlobal(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t)) &&
             PutGlobal(PrivateFormat(), kPrivateFormatData, sizeof kPrivateFormatData);
  CloseClipboard();
  return put ? 0 : 2;
}

int PrintPrivateFormat() {
  if (!OpenClipboardPatiently()) return 2;
  int status = 1;
  if (HANDLE data = GetClipboardData(PrivateFormat())) {
    if (auto* bytes = static_cast<const char*>(GlobalLock(data))) {
      Print(std::string(bytes, strnlen(bytes, GlobalSize(data))));
      GlobalUnlock(data);
      status = 0;
    }
  }
  CloseClipboard();
  return status;
}

struct Search {
  std::wstring title;
  std::vector<HWND> found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  if (IsWindowVisible(window) && search->title == title) search->found.push_back(window);
  return TRUE;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// A window of another process answers WM_GETTEXT across processes; its list view's rows live in its
// own memory, so the item record and the text buffer are made there.
std::vector<std::wstring> ListRows(HWND list) {
  std::vector<std::wstring> rows;
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (process == nullptr) return rows;
  constexpr int kChars = 1024;
  auto* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + kChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
  if (remote != nullptr) {
    auto* remoteText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
    auto count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = row;
      item.pszText = remoteText;
      item.cchTextMax = kChars;
      std::vector<wchar_t> text(kChars, L'\0');
      if (!WriteProcessMemory(process, remote, &item, sizeof item, nullptr)) break;
      SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote));
      if (!ReadProcessMemory(process, remoteText, text.data(), kChars * sizeof(wchar_t), nullptr)) break;
      text.back() = L'\0';
      rows.emplace_back(text.data());
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  return rows;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  std::wstring className = ClassOf(control);
  auto length = static_cast<int>(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  int id = GetDlgCtrlID(control);
  std::string line = std::to_string(id) + "\t" + kelvane::Narrow(className) + "\t" + Escaped(text);
  LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
  if (className == L"Button" && (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX)) {
    line += SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? "\tchecked" : "\tunchecked";
  }
  Print(line + "\n");
  if (className == WC_LISTVIEWW) {
    int row = 0;
    for (const std::wstring& rowText : ListRows(control)) {
      Print(std::to_string(id) + "\trow " + std::to_string(row++) + "\t" + Escaped(rowText) + "\n");
    }
  }
  return TRUE;
}

int PrintControls(const std::wstring& title) {
  Search search{title, {}};
  EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
  if (search.found.empty()) {
    std::fprintf(stderr, "windows_probe: no visible window named %s\n", kelvane::Narrow(title).c_str());
    return 1;
  }
  int number = 0;
  for (HWND window : search.found) {
    Print("window\t" + std::to_string(number++) + "\n");
    EnumChildWindows(window, PrintControl, 0);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus != nullptr &&
        (info.hwndFocus == window || IsChild(window, info.hwndFocus))) {
      Print("focus\t" + std::to_string(GetDlgCtrlID(info.hwndFocus)) + "\n");
    }
  }
  return 0;
}

int PrintDesktopFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path))) return 1;
  Print(kelvane::Narrow(path) + "\n");
  return 0;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::wstring> args(argv, argv + argc);
  LocalFree(argv);
  _setmode(_fileno(stdout), _O_BINARY);  // the clipboard's bytes as they are, no CR added
  if (args.size() == 2 && args[1] == L"clipboard") return PrintClipboard();
  if (args.size() == 3 && args[1] == L"put-clipboard") return PutClipboard(args[2]);
  if (args.size() == 2 && args[1] == L"private-format") return PrintPrivateFormat();
  if (args.size() == 3 && args[1] == L"controls") return PrintControls(args[2]);
  if (args.size() == 2 && args[1] == L"desktop-folder") return PrintDesktopFolder();
  std::fprintf(stderr,
               "usage: windows_probe clipboard | put-clipboard TEXT | private-format | controls TITLE | "
               "desktop-folder\n");
  return 2;
}
