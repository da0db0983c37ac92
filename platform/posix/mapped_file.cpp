#include "platform/mapped_file.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <mutex>
#include <utility>

namespace kelvane {

namespace {

// Reading a mapped page that lies past the end of a file (another program truncated it) raises
// SIGBUS, which would end the process. The mappings of list files are kept here; a fault inside
// one is answered by zero pages put over the rest of that mapping, and the mapping is flagged, so
// that the read goes on and whoever reads the list finds out afterwards and reports the file
// error. A fault anywhere else is handed to the action that was there before.
struct Guard {
  std::atomic<std::uintptr_t> begin{0};  // 0: free
  std::atomic<std::uintptr_t> end{0};    // past the mapping's last page
  std::atomic<std::atomic<bool>*> cutShort{nullptr};
};

constexpr size_t kGuards = 64;
std::array<Guard, kGuards> guards;
struct sigaction previousAction {};
std::uintptr_t pageSize = 4096;
std::once_flag installOnce;
bool installed = false;

void OnBusError(int signal, siginfo_t* info, void* context) {
  const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (Guard& guard : guards) {
    const std::uintptr_t begin = guard.begin.load(std::memory_order_acquire);
    const std::uintptr_t end = guard.end.load(std::memory_order_acquire);
    if (begin != 0 && address >= begin && address < end) {
      const std::uintptr_t page = address & ~(pageSize - 1);
      void* zeros =
          ::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
      if (zeros != MAP_FAILED) {
        guard.cutShort.load(std::memory_order_acquire)->store(true, std::memory_order_release);
        return;  // the read is made again, and finds zeros
      }
      break;
    }
  }
  // Not ours (or no memory for the zeros): the earlier action, which the fault meets again as
  // soon as this returns.
  if ((previousAction.sa_flags & SA_SIGINFO) != 0 && previousAction.sa_sigaction != nullptr) {
    previousAction.sa_sigaction(signal, info, context);
    return;
  }
  ::sigaction(SIGBUS, &previousAction, nullptr);
}

void InstallHandler() {
  pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  struct sigaction action {};
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  installed = ::sigaction(SIGBUS, &action, &previousAction) == 0;
}

// A free place for a mapping of size bytes at data, or -1 when every place is taken.
int AddGuard(void* data, size_t size, std::atomic<bool>* cutShort) {
  std::call_once(installOnce, InstallHandler);
  if (!installed) {
    return -1;
  }
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  for (size_t i = 0; i < kGuards; ++i) {
    std::uintptr_t free = 0;
    // Claimed with a value the handler's range test never matches, filled, then opened.
    if (guards[i].begin.compare_exchange_strong(free, UINTPTR_MAX, std::memory_order_acq_rel)) {
      guards[i].cutShort.store(cutShort, std::memory_order_release);
      guards[i].end.store(begin + (size + pageSize - 1) / pageSize * pageSize, std::memory_order_release);
      guards[i].begin.store(begin, std::memory_order_release);
      return static_cast<int>(i);
    }
  }
  return -1;
}

void RemoveGuard(int index) {
  Guard& guard = guards[static_cast<size_t>(index)];
  guard.end.store(0, std::memory_order_release);
  guard.cutShort.store(nullptr, std::memory_order_release);
  guard.begin.store(0, std::memory_order_release);
}

}  // namespace

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
      mapped.guard_ = AddGuard(data, size, &mapped.cutShort_);
      if (mapped.guard_ >= 0) {
        // Lists are read from start to end, once to check them and once to write the copies.
        ::madvise(data, size, MADV_SEQUENTIAL);
        mapped.mapping_ = data;
        mapped.mappedSize_ = size;
        mapped.bytes_ = std::string_view(static_cast<const char*>(data), size);
        return owner;
      }
      // A mapping that a truncation could not be caught in is not kept.
      ::munmap(data, size);
    }
  }
  mapped.read_ = mapped.file_.ReadAll();
  mapped.bytes_ = mapped.read_;
  return owner;
}

MappedFile::~MappedFile() {
  if (mapping_ != nullptr) {
    RemoveGuard(guard_);
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
