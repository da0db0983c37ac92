#include "platform/mapped_file.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace kelvane {

std::unique_ptr<MappedFile> MappedFile::Open(const std::string& path) {
  std::unique_ptr<MappedFile> owner(new MappedFile());
  MappedFile& mapped = *owner;
  mapped.file_ = File::Open(path, File::Mode::Read);
  struct stat info {};
  if (::fstat(mapped.file_.descriptor(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    const auto size = static_cast<size_t>(info.st_size);
    // A small file is brought in whole at once, which costs less than a fault per few pages.
    constexpr size_t kPopulateUpTo = size_t{32} << 20;
    const int populate = size <= kPopulateUpTo ? MAP_POPULATE : 0;
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | populate, mapped.file_.descriptor(), 0);
    if (data != MAP_FAILED) {
      // Lists are read from start to end, once to check them and once to write the copies.
      ::madvise(data, size, MADV_SEQUENTIAL);
      mapped.mapping_ = data;
      mapped.mappedSize_ = size;
      mapped.bytes_ = std::string_view(static_cast<const char*>(data), size);
      return owner;
    }
  }
  mapped.read_ = mapped.file_.ReadAll();
  mapped.bytes_ = mapped.read_;
  return owner;
}

MappedFile::~MappedFile() {
  if (mapping_ != nullptr) {
    ::munmap(mapping_, mappedSize_);
  }
}

void MappedFile::Release(size_t begin, size_t end) const noexcept {
  if (mapping_ == nullptr) {
    return;
  }
  const auto page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  begin = (begin + page - 1) / page * page;
  end = std::min(end, mappedSize_) / page * page;
  if (end > begin) {
    ::madvise(static_cast<char*>(mapping_) + begin, end - begin, MADV_DONTNEED);
  }
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {
  }, second{};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

}  // namespace kelvane
