#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
// windows.h's name for LoadStringW would hide the string table's own LoadString.
#undef LoadString

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <new>

#include "cli/console.h"
#include "platform/win32/wide.h"
#include "res/resource.h"
#include "res/resource_script.h"
#include "settings/settings.h"

namespace kelvane::cli {

namespace {

std::atomic<bool> stopRequested = false;

// Set from the thread the system starts for each console event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  stopRequested = true;
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    return TRUE;
  }
  // Closing the console, logging off or shutting down ends the process as soon as this returns.
  // Waiting here lets the run stop at a copy boundary and close its output, ending the process
  // itself; the system ends it anyway after its own time limit.
  ::Sleep(INFINITE);
  return TRUE;
}

HANDLE StandardHandle(std::FILE* stream) {
  return ::GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
}

bool IsConsole(HANDLE handle, DWORD& mode) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

// The console's mode before the progress line asked for escape sequences, put back at exit.
HANDLE progressConsole = nullptr;
DWORD progressConsoleMode = 0;

void RestoreConsoleMode() {
  ::SetConsoleMode(progressConsole, progressConsoleMode);
}

// The progress line clears itself with "\033[K", which a console understands since Windows 10
// once asked to; older consoles would print it, so they show no progress.
bool ConsoleClearsLines(HANDLE console, DWORD mode) {
  if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) {
    return true;
  }
  if (::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0) {
    return false;
  }
  progressConsole = console;
  progressConsoleMode = mode;
  std::atexit(RestoreConsoleMode);
  return true;
}

}  // namespace

std::vector<std::string> CommandLineArguments(int, char**) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) {
    throw std::bad_alloc();
  }
  std::vector<std::string> args;
  try {
    for (int i = 1; i < count; ++i) {
      args.push_back(Narrow(wide[i]));
    }
  } catch (...) {
    ::LocalFree(wide);
    throw;
  }
  ::LocalFree(wide);
  return args;
}

void PrepareStandardStreams() {
  // A stream that is not open (started without a console, say) refuses; nothing is lost by that.
  for (std::FILE* stream : {stdin, stdout, stderr}) {
    ::_setmode(::_fileno(stream), _O_BINARY);
  }
}

// Bytes written to a console are read in its code page, which is not UTF-8; characters are not.
bool WriteText(std::FILE* stream, std::string_view text) {
  const HANDLE handle = StandardHandle(stream);
  DWORD mode = 0;
  if (!IsConsole(handle, mode)) {
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0;
  }
  std::fflush(stream);
  const std::wstring wide = Widen(text);
  for (size_t done = 0; done < wide.size();) {
    // Consoles refuse very large writes; a few thousand characters at a time always go.
    const auto chunk = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 8192));
    DWORD written = 0;
    if (::WriteConsoleW(handle, wide.data() + done, chunk, &written, nullptr) == 0 || written == 0) {
      errno = EIO;
      return false;
    }
    done += written;
  }
  return true;
}

void CatchStopRequests() {
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

const std::atomic<bool>& StopRequested() {
  return stopRequested;
}

// Windows has no signals; every console event stops the run as Ctrl+C does.
int StoppedStatus() {
  return 130;
}

std::string_view StoppedStatusHelp() {
  return "130 when stopped\nby Ctrl+C, Ctrl+Break or closing the console (the output then holds\nwhole copies "
         "only).\n";
}

bool InterruptLeftALine() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  return stopRequested.load() && ::GetConsoleScreenBufferInfo(StandardHandle(stderr), &info) != 0 &&
         info.dwCursorPosition.X != 0;
}

std::string SavedJobPlace() {
  return "HKEY_CURRENT_USER\\Software\\" + res::LoadString(IDS_COMPANY_NAME) + "\\" + res::LoadString(IDS_APP_TITLE) +
         "\\" + kSettingsSection;
}

Terminals FindTerminals() {
  DWORD errorMode = 0;
  DWORD outputMode = 0;
  const HANDLE error = StandardHandle(stderr);
  const bool standardError = IsConsole(error, errorMode);
  // A process has one console at most: standard output on a console is on the same one.
  const bool shared = IsConsole(StandardHandle(stdout), outputMode);
  return {standardError, standardError && !shared && ConsoleClearsLines(error, errorMode)};
}

}  // namespace kelvane::cli
