#include "support/test_support.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

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

// The library's narrow strings are the ANSI code page on Windows, so paths go through UTF-8 text.
std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

TempDir::TempDir() {
  // create_directory is false for a folder that exists already, so a name taken by another test is
  // never shared.
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto name = "kelvane-test-" + std::to_string(random() % 1000000000u);
    if (std::filesystem::create_directory(base / name)) {
      path_ = Utf8(base / name);
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(PathOf(path_), ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool Exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::symlink_status(PathOf(path), error).type() != std::filesystem::file_type::not_found && !error;
}

std::vector<std::string> ListDir(const std::string& path) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(PathOf(path), error)) {
    names.push_back(Utf8(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool WaitFor(const std::function<bool()>& ready) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (!ready()) {
    if (std::chrono::steady_clock::now() > until) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

namespace {

// Sets, or with nullptr removes, an environment variable.
void SetEnv(const std::string& name, const char* value) {
#ifdef _WIN32
  ::_putenv_s(name.c_str(), value != nullptr ? value : "");
#else
  if (value != nullptr) {
    ::setenv(name.c_str(), value, 1);
  } else {
    ::unsetenv(name.c_str());
  }
#endif
}

}  // namespace

ScopedEnv::ScopedEnv(std::string name, const char* value) : name_(std::move(name)) {
  const char* old = std::getenv(name_.c_str());
  had_ = old != nullptr;
  if (had_) {
    old_ = old;
  }
  SetEnv(name_, value);
}

ScopedEnv::~ScopedEnv() {
  SetEnv(name_, had_ ? old_.c_str() : nullptr);
}

std::string Utf16Bytes(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

}  // namespace kelvane::test
