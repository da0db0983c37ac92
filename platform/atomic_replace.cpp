// What the two systems' atomic replaces share: the names of their temporary files and the limits
// those names set.

#include "platform/atomic_replace.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>

namespace kelvane {

namespace {

constexpr std::string_view kTempSuffixLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kTempSuffixLength = 6;
// ".", the file's name, "." and the suffix.
constexpr size_t kTempNameExtra = 2 + kTempSuffixLength;

// Both systems' longest file name is 255: Linux's NAME_MAX, and a name's length on NTFS and FAT32.
constexpr size_t kLongestName = 255;
#ifdef _WIN32
constexpr std::string_view kSeparators = "/\\";
// MAX_PATH less its terminating NUL: the longest path the calls without the "\\?\" prefix take.
constexpr size_t kLongestPath = 259;
#else
constexpr std::string_view kSeparators = "/";
// PATH_MAX less its terminating NUL.
constexpr size_t kLongestPath = 4095;
#endif

}  // namespace

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of(kSeparators);
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of(kSeparators);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

size_t LongestReplaceableName() noexcept {
  return kLongestName - kTempNameExtra;
}

size_t LongestReplaceablePath() noexcept {
  return kLongestPath - kTempNameExtra;
}

// A name no other replace is likely to be using; a clash is retried.
std::string ReplacementTempName(std::string_view fileName) {
  static std::atomic<std::uint64_t> counter = 0;
  static const std::uint64_t processSeed = std::random_device()();
  std::uint64_t seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                       (processSeed << 32) ^ (counter++ * 0x9E3779B97F4A7C15U);
  std::string name = ".";
  name += fileName;
  name += '.';
  for (size_t i = 0; i < kTempSuffixLength; ++i) {
    seed = seed * 6364136223846793005U + 1442695040888963407U;
    name += kTempSuffixLetters[static_cast<size_t>((seed >> 33) % kTempSuffixLetters.size())];
  }
  return name;
}

bool IsReplacementTempName(std::string_view fileName, std::string_view name) {
  if (name.size() != fileName.size() + kTempNameExtra || !name.starts_with('.') ||
      name.substr(1, fileName.size()) != fileName || name[fileName.size() + 1] != '.') {
    return false;
  }
  return name.substr(fileName.size() + 2).find_first_not_of(kTempSuffixLetters) == std::string_view::npos;
}

}  // namespace kelvane
