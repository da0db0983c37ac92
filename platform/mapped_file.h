// A file's bytes mapped read-only into memory, so that a list of any size is read on demand and
// the pages already used can be given back.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace kelvane {

class MappedFile {
 public:
  // Maps the file at path, shared with other readers as File::Mode::Read is; a file that cannot be
  // mapped (a pipe, say) is read whole instead. Throws FileException.
  static std::unique_ptr<MappedFile> Open(const std::string& path);

  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  [[nodiscard]] std::string_view bytes() const noexcept { return bytes_; }
  // Gives back the memory of the whole pages inside [begin, end); reading them again reads the file.
  void Release(size_t begin, size_t end) const noexcept;
  // Whether another program has cut the file short since it was mapped: the bytes past its new
  // end then read as zeros, and nothing read since it happened can be trusted. A cut within the
  // last page raises no fault, so the file's size is looked at too.
  [[nodiscard]] bool cutShort() const {
    return cutShort_.load(std::memory_order_acquire) || (mapping_ != nullptr && file_.Size() < mappedSize_);
  }

 private:
  MappedFile() = default;

  File file_;  // kept open, so the file stays shared and Kelvane's own writers cannot truncate it
  void* mapping_ = nullptr;
  size_t mappedSize_ = 0;
  std::string read_;  // the bytes of a file that could not be mapped
  std::string_view bytes_;
  int guard_ = -1;  // the mapping's place among those a read past the file's end is caught in
  std::atomic<bool> cutShort_{false};
};

// Whether the two paths name the same existing file.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace kelvane
