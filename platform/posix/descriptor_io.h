// The read and write loops over a file descriptor that every file in the program goes through.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace kelvane {

// Writes every byte, going on after interrupted and short writes; 0 or the errno that stopped it.
// Once *stop is set, a write that a signal interrupted does not go on: the result is then EINTR.
int WriteFully(int fd, std::string_view bytes, const std::atomic<bool>* stop = nullptr) noexcept;

// Reads from fd to its end into bytes, which it replaces; 0 or the errno that stopped it.
int ReadFully(int fd, std::string& bytes);

// An open descriptor, closed when the object goes.
class Descriptor {
 public:
  explicit Descriptor(int fd) noexcept : fd_(fd) {}
  ~Descriptor();
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  [[nodiscard]] int get() const noexcept { return fd_; }
  // Closes now; 0 or the errno of close (EINTR counts as closed, as it is on Linux).
  int Close() noexcept;

 private:
  int fd_;
};

}  // namespace kelvane
