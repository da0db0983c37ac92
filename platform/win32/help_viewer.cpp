#include <windows.h>
// After windows.h, which it needs.
#include <shlwapi.h>

#include <array>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/win32/desktop_services.h"
#include "platform/win32/shortcut_object.h"
#include "platform/win32/wide.h"

namespace kelvane {

namespace {

// Bytes a file: URL's path keeps as they are; every other byte is percent-encoded, so that a '#',
// a '%' or a blank in a folder's name is not read as part of the URL's syntax.
bool KeptInUrl(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
         std::string_view("-._~/:!$&'()*+,;=@").find(static_cast<char>(byte)) != std::string_view::npos;
}

// The browser's command for URLs: the http handler's, else the one for .html pages. Empty when
// neither is known.
std::wstring BrowserCommand() {
  for (const wchar_t* kind : {L"http", L".html"}) {
    std::vector<wchar_t> command(2048, L'\0');
    auto size = static_cast<DWORD>(command.size());
    if (::AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, kind, L"open", command.data(), &size) == S_OK) {
      return command.data();
    }
  }
  return {};
}

// The command line that opens url with command: url for "%1" and "%L" (whose quotes the command
// supplies), other arguments left out; at the end when the command names none. The url holds no
// blank or quote, being percent-encoded.
std::wstring CommandLineFor(const std::wstring& command, const std::wstring& url) {
  std::wstring expanded(::ExpandEnvironmentStringsW(command.c_str(), nullptr, 0), L'\0');
  if (expanded.empty() ||
      ::ExpandEnvironmentStringsW(command.c_str(), expanded.data(), static_cast<DWORD>(expanded.size())) == 0) {
    expanded = command;
  } else {
    expanded.resize(expanded.size() - 1);
  }
  std::wstring line;
  bool placed = false;
  for (std::size_t i = 0; i < expanded.size(); ++i) {
    if (expanded[i] != L'%' || i + 1 == expanded.size()) {
      line += expanded[i];
      continue;
    }
    const wchar_t next = expanded[++i];
    if (next == L'1' || next == L'L' || next == L'l') {
      line += url;
      placed = true;
    } else if (next == L'%') {
      line += L'%';
    }
  }
  if (!placed) {
    line += L' ';
    line += url;
  }
  return line;
}

bool StartProcess(std::wstring commandLine) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process) ==
      0) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

// ShellExecute of a page's path drops the URL's anchor: the browser is started with the whole URL
// where it is known; the shell, given the URL, is the way left.
bool OpenInBrowser(const std::wstring& url) {
  const std::wstring command = BrowserCommand();
  if (!command.empty() && StartProcess(CommandLineFor(command, url))) {
    return true;
  }
  return OpenViaShellExecute(url, ::GetActiveWindow());
}

BOOL CALLBACK CancelModeOf(HWND window, LPARAM /*unused*/) {
  ::SendMessageW(window, WM_CANCELMODE, 0, 0);
  return TRUE;
}

// A menu being tracked or a pointer held by any window of the dialogs is let go before the browser
// takes the focus.
void CancelPointerTracking() {
  const HWND active = ::GetActiveWindow();
  for (const HWND window : {active == nullptr ? nullptr : ::GetAncestor(active, GA_ROOTOWNER), active}) {
    if (window != nullptr) {
      ::SendMessageW(window, WM_CANCELMODE, 0, 0);
      ::EnumChildWindows(window, CancelModeOf, 0);
    }
  }
  if (const HWND capture = ::GetCapture(); capture != nullptr) {
    ::SendMessageW(capture, WM_CANCELMODE, 0, 0);
  }
}

// The browser can take a moment to start; the wait cursor says the click was heard.
class WaitCursor {
 public:
  WaitCursor() : previous_(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { ::SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

}  // namespace

std::string ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return {};
    }
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t separator = path.find_last_of(L"\\/");
  return Narrow(std::wstring_view(path).substr(0, separator == std::wstring::npos ? 0 : separator));
}

std::string FindHelpPage(const std::string& programFolder) {
  if (programFolder.empty()) {
    return {};
  }
  const char last = programFolder.back();
  const std::string page = programFolder + (last == '\\' || last == '/' ? "" : "\\") + "kelvane.html";
  const DWORD attributes = ::GetFileAttributesW(Widen(page).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {};
  }
  return page;
}

std::string HelpPageUrl(const std::string& page, unsigned context) {
  // A UNC path \\server\share\... is file://server/share/...; a drive path C:\... is file:///C:/...
  const bool unc = page.size() > 2 && (page[0] == '\\' || page[0] == '/') && (page[1] == '\\' || page[1] == '/');
  std::string url = unc ? "file:" : "file:///";
  constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                         '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
  for (const char c : page) {
    const auto byte = static_cast<unsigned char>(c == '\\' ? '/' : c);
    if (KeptInUrl(byte)) {
      url += static_cast<char>(byte);
    } else {
      url += '%';
      url += kHex[byte >> 4];
      url += kHex[byte & 0xF];
    }
  }
  std::array<char, 16> anchor = {};
  const int length = std::snprintf(anchor.data(), anchor.size(), "#0x%x", context);
  url.append(anchor.data(), static_cast<std::size_t>(length));
  return url;
}

Win32HelpViewer::Win32HelpViewer() : programFolder_(ProgramFolder()) {}

Win32HelpViewer::Win32HelpViewer(std::string programFolder) : programFolder_(std::move(programFolder)) {}

void Win32HelpViewer::ShowHelp(unsigned context, OpenDone done) {
  CancelPointerTracking();
  const std::string page = FindHelpPage(programFolder_);
  if (page.empty()) {
    done(false);
    return;
  }
  bool opened = false;
  {
    const WaitCursor wait;
    opened = OpenInBrowser(Widen(HelpPageUrl(page, context)));
  }
  done(opened);
}

}  // namespace kelvane
