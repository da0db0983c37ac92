// Running kelvane-cli from a test, on Windows: CreateProcessW with redirected standard handles.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "platform/win32/wide.h"
#include "support/test_support.h"

namespace kelvane::test {

namespace {

// One argument as the C runtime's command-line parser (and CommandLineToArgvW) reads it back:
// quoted when it holds a blank or a quote or is empty; inside quotes, backslashes are literal
// except before a quote, where each is doubled and the quote escaped.
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return arg;
  }
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');  // before the closing quote
  quoted += L'"';
  return quoted;
}

// An inheritable handle on path, for a child's standard stream.
HANDLE OpenForChild(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE handle =
      ::CreateFileW(Widen(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, write ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    throw std::runtime_error("cannot open " + path + " for kelvane-cli");
  }
  return handle;
}

}  // namespace

std::string CliPath() {
  const char* build = std::getenv("KELVANE_BUILD_DIR");
  return std::string(build != nullptr ? build : "build-win64") + "/cli/kelvane-cli.exe";
}

StartedCli StartCli(const std::vector<std::string>& args, const std::string& inputPath, const std::string& outputPath,
                    const std::string& errorPath, bool ownConsole) {
  std::wstring commandLine = QuoteArgument(Widen(CliPath()));
  for (const std::string& arg : args) {
    commandLine += L' ' + QuoteArgument(Widen(arg));
  }
  const HANDLE in = OpenForChild(inputPath, false);
  const HANDLE out = OpenForChild(outputPath, true);
  const HANDLE err = OpenForChild(errorPath, true);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES | (ownConsole ? STARTF_USESHOWWINDOW : 0);
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  // Wine, when busy, now and then refuses a start with ERROR_INTERNAL_ERROR and takes the same
  // start a moment later; any other refusal is the test's answer.
  BOOL started = FALSE;
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 20; ++attempt) {
    started =
        ::CreateProcessW(Widen(CliPath()).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                         ownConsole ? CREATE_NEW_CONSOLE : DETACHED_PROCESS, nullptr, nullptr, &startup, &process);
    error = ::GetLastError();
    if (started != 0 || error != ERROR_INTERNAL_ERROR) {
      break;
    }
    ::Sleep(100u << std::min(attempt, 4));
  }
  for (const HANDLE handle : {in, out, err}) {
    ::CloseHandle(handle);
  }
  if (started == 0) {
    throw std::runtime_error("cannot start " + CliPath() + ": error " + std::to_string(error));
  }
  ::CloseHandle(process.hThread);
  return {process.hProcess, process.dwProcessId};
}

int WaitForCli(const StartedCli& cli) {
  ::WaitForSingleObject(cli.process, INFINITE);
  DWORD status = 0;
  ::GetExitCodeProcess(cli.process, &status);
  ::CloseHandle(cli.process);
  return static_cast<int>(status);
}

CliResult RunCli(const std::vector<std::string>& args, const std::string& input, const std::string& stdoutPath) {
  const TempDir io;
  WriteFile(io.File("in"), input);
  const std::string out = stdoutPath.empty() ? io.File("out") : stdoutPath;
  const int status = WaitForCli(StartCli(args, io.File("in"), out, io.File("err"), false));
  return {status, ReadFile(io.File("out")), ReadFile(io.File("err"))};
}

}  // namespace kelvane::test
