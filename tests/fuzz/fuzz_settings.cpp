// Fuzzes the six settings above the file format: whatever the settings file holds, loading gives a
// job whose lists match, saving it succeeds, and what was saved loads back the same.

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/job.h"
#include "settings/settings.h"

namespace {

std::string configHome;  // a configuration home of the fuzzer's own, removed at exit
std::string folder;      // the settings folder in it

[[noreturn]] void Fail(const char* what, const std::string& file) {
  std::fprintf(stderr, "%s; the settings file held:\n%s\n", what, file.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // On tmpfs where there is one: the saves' fsync calls then cost nothing.
  const std::filesystem::path base =
      std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
  std::string home = (base / "kelvane-fuzz-settings-XXXXXX").string();
  if (::mkdtemp(home.data()) == nullptr) {
    std::abort();
  }
  ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
  folder = home + "/Orvalle Software Inc.";
  configHome = home;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(configHome, ignored);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  {
    const int fd = ::open((folder + "/Kelvane.reg").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ::write(fd, file.data(), file.size()) != static_cast<ssize_t>(file.size())) {
      std::abort();
    }
    ::close(fd);
  }
  kelvane::Job loaded;
  kelvane::LoadSettings(loaded);
  if (loaded.tags.size() != loaded.values.size()) {
    Fail("the loaded lists differ in length", file);
  }
  if (!kelvane::SaveSettings(loaded)) {
    Fail("the loaded job could not be saved", file);
  }
  kelvane::Job again;
  kelvane::LoadSettings(again);
  if (again.blockText != loaded.blockText || again.outputFile != loaded.outputFile || again.append != loaded.append ||
      again.repeatCount != loaded.repeatCount || again.tags != loaded.tags) {
    Fail("the saved job loads back different", file);
  }
  // An empty value text may cut the stored list; once saved, the job is stable.
  if (!kelvane::SaveSettings(again)) {
    Fail("the job could not be saved twice", file);
  }
  kelvane::Job third;
  kelvane::LoadSettings(third);
  if (!(third == again)) {
    Fail("a second save changed the job", file);
  }
  return 0;
}
