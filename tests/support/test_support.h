// Fakes and helpers for the core's tests.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_error.h"
#include "platform/message_box.h"

namespace kelvane::test {

// Records every message and answers from a script (Ok, or the first button, when the script is empty).
class RecordingMessageBox : public MessageBox {
 public:
  struct Shown {
    std::string text;
    MessageButtons buttons;
    MessageIcon icon;
  };

  MessageAnswer Show(const std::string& text, MessageButtons buttons, MessageIcon icon) override;

  [[nodiscard]] std::vector<std::string> texts() const;

  std::vector<Shown> shown;
  std::deque<MessageAnswer> answers;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] const std::string& path() const { return path_; }
  // path()/name
  [[nodiscard]] std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A UTF-8 path, as the program holds it, for the standard library, and back (with '/' separators).
std::filesystem::path PathOf(const std::string& utf8);
std::string Utf8(const std::filesystem::path& path);

// Runs f, which must throw a FileException, and returns its report; "(no error)" when it does not.
template <typename F>
std::string ReportOf(F f) {
  try {
    f();
  } catch (const FileException& error) {
    return error.ErrorReport();
  }
  return "(no error)";
}

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// The names in a folder, sorted.
std::vector<std::string> ListDir(const std::string& path);

// Calls ready() every few milliseconds until it says yes; false after two minutes, long enough for
// any machine, however busy: a test that needs it has already failed.
bool WaitFor(const std::function<bool()>& ready);

// Where the command-line program was built: $KELVANE_BUILD_DIR/cli/kelvane-cli (.exe on Windows),
// else build/ (build-win64/ on Windows).
std::string CliPath();
// POSIX: replaces this (forked) process with the command-line program run on args.
[[noreturn]] void ExecCli(const std::vector<std::string>& args);

// POSIX: how a child process ended: its exit status, or 128 plus the signal that ended it, as a shell says.
int WaitStatus(int pid);

struct CliResult {
  int status = -1;
  std::string out, err;
};
// Runs the command-line program on args with input as its standard input and returns what it
// wrote; stdoutPath, when given, takes its standard output instead (such as /dev/full).
CliResult RunCli(const std::vector<std::string>& args, const std::string& input = "",
                 const std::string& stdoutPath = "");

#ifdef _WIN32
// A kelvane-cli process started and not yet waited for: its process handle and id.
struct StartedCli {
  void* process;
  unsigned long id;
};
// Starts the command-line program on args with its standard streams on the three files (input
// must exist; the others are created when missing), without a console, or when asked with a
// hidden console of its own, to which a test can attach and send console events.
StartedCli StartCli(const std::vector<std::string>& args, const std::string& inputPath, const std::string& outputPath,
                    const std::string& errorPath, bool ownConsole);
// Waits for the program to end and returns its exit status.
int WaitForCli(const StartedCli& cli);
#endif

// The variable that names the temporary folder: TMPDIR on POSIX, TMP on Windows.
extern const char* const kTempFolderVariable;
// The name error reports give the temporary file in folder when it cannot be made there.
std::string TempFilePattern(const std::string& folder);

// Another program holding a file without sharing it: an exclusive flock on POSIX, a handle opened
// with share mode 0 on Windows. Fails the test when the file cannot be held.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

 private:
  std::intptr_t handle_;
};

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_;
  std::string old_;
};

// The bytes of UTF-16 text as Windows keeps it in the registry and on the clipboard: little-endian.
std::string Utf16Bytes(const std::u16string& text);

}  // namespace kelvane::test
