#include "support/test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kelvane::test {

MessageAnswer RecordingMessageBox::Show(const std::string& text, MessageButtons buttons, MessageIcon icon) {
  shown.push_back({text, buttons, icon});
  if (!answers.empty()) {
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel ? MessageAnswer::Yes
                                                                                    : MessageAnswer::Ok;
}

std::vector<std::string> RecordingMessageBox::texts() const {
  std::vector<std::string> result;
  for (const Shown& s : shown) {
    result.push_back(s.text);
  }
  return result;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kelvane-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary folder");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

std::vector<std::string> ListDir(const std::string& path) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

ScopedEnv::ScopedEnv(std::string name, const char* value) : name_(std::move(name)) {
  const char* old = std::getenv(name_.c_str());
  had_ = old != nullptr;
  if (had_) {
    old_ = old;
  }
  if (value != nullptr) {
    ::setenv(name_.c_str(), value, 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

ScopedEnv::~ScopedEnv() {
  if (had_) {
    ::setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

std::string CliPath() {
  const char* build = std::getenv("KELVANE_BUILD_DIR");
  return std::string(build != nullptr ? build : "build") + "/cli/kelvane-cli";
}

void ExecCli(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  const std::string path = CliPath();
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  ::execv(path.c_str(), argv.data());
  ::_exit(127);
}

int WaitStatus(int pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

CliResult RunCli(const std::vector<std::string>& args, const std::string& input, const std::string& stdoutPath) {
  const TempDir io;
  WriteFile(io.File("in"), input);
  const std::string out = stdoutPath.empty() ? io.File("out") : stdoutPath;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open(io.File("in").c_str(), O_RDONLY), 0);
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT, 0600), 1);
    ::dup2(::open(io.File("err").c_str(), O_WRONLY | O_CREAT, 0600), 2);
    ExecCli(args);
  }
  const int status = WaitStatus(pid);
  return {status, ReadFile(io.File("out")), ReadFile(io.File("err"))};
}

}  // namespace kelvane::test
