// Running kelvane-cli from a test, on POSIX systems: fork, exec and wait.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "support/test_support.h"

namespace kelvane::test {

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
