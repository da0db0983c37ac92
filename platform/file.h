// Binary files opened in the modes the program uses, held without sharing while they are written.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <thread>

namespace kelvane {

// The system's own reference to an open file: a descriptor on POSIX, a HANDLE on Windows.
#ifdef _WIN32
using NativeFile = void*;
inline constexpr NativeFile kNoNativeFile = nullptr;
#else
using NativeFile = int;
inline constexpr NativeFile kNoNativeFile = -1;
#endif

// Thrown by a write that File::Interrupt() stopped; what it wrote so far stays written.
class WriteInterrupted : public std::exception {
 public:
  [[nodiscard]] const char* what() const noexcept override { return "write interrupted"; }
};

class File {
 public:
  enum class Mode {
    CreateWrite,      // create or truncate; write only; no sharing
    OpenWrite,        // an existing file, kept as it is; write only; no sharing
    CreateReadWrite,  // create or truncate; read and write; no sharing
    Read,             // an existing file; read only; shared with every other reader
  };

  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  // Closes the file without reporting errors; call Close() to have them reported.
  ~File();

  // Opens path; throws FileException. A file that another opener holds (on POSIX: locked with flock,
  // fcntl or lockf; on Windows: opened without sharing, or open at all for the write modes) is a
  // sharing violation, and is never truncated. Reading a FIFO waits for its writer, as cat does.
  static File Open(const std::string& path, Mode mode);

  // A new, empty file in the temporary folder for reading and writing, which goes when it is closed.
  // POSIX: without a name, in $TMPDIR (else /tmp), readable only by the user; errors name it
  // "<folder>/KVXXXXXX.tmp". Windows: named by GetTempFileName ("<folder>KVxxxx.tmp") and held
  // without sharing; errors before it exists name it "<folder>KVXXXX.tmp". Throws FileException.
  static File CreateTemp();

  // Takes over an open descriptor (on Windows, a C runtime one), such as one end of a pipe, named for
  // error reports.
  static File Adopt(int fd, std::string name);
  // A second handle on the process's standard input or output, named "standard input" and "standard
  // output" in error reports; closing it leaves the process's own open. Output is written as bytes.
  static File StandardInput();
  static File StandardOutput();

  // Appends data to the write buffer, writing it out as the buffer fills; throws FileException.
  void Write(std::string_view data);
  // Writes out the buffer, then moves to the end of the file.
  void SeekToEnd();
  // Writes out the buffer, then empties the file and moves to its start.
  void Truncate();
  // Writes out the buffer, then moves to the start of the file.
  void SeekToStart();
  // Writes out the buffer.
  void Flush();
  // Writes out the buffer and closes, reporting any error of either; a second call does nothing.
  void Close();
  // Reads the rest of the file.
  std::string ReadAll();
  // Reads up to size bytes into buffer and returns how many; 0 at the end. Throws FileException.
  size_t Read(char* buffer, size_t size);
  // The size of a regular file; 0 for anything else.
  [[nodiscard]] std::uint64_t Size() const;

  // From another thread: makes a write of this file that blocks in writer (a stalled pipe or FIFO)
  // fail with WriteInterrupted, and every later one. Call it again until writer is done with the
  // file: a write that was about to start when the first call came may need a second.
  void Interrupt(std::thread& writer);

  [[nodiscard]] bool IsOpen() const noexcept { return fd_ != kNoNativeFile; }
  // The open descriptor or HANDLE, for calls this class does not make (mapping the file, say).
  [[nodiscard]] NativeFile descriptor() const noexcept { return fd_; }
  [[nodiscard]] const std::string& path() const noexcept { return path_; }
  // Bytes handed to Write() since the file was opened.
  [[nodiscard]] std::uint64_t bytesWritten() const noexcept { return bytesWritten_; }

  // Whether the file's attributes can be read, that is, something exists at path.
  static bool Exists(const std::string& path);

 private:
  File(NativeFile fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  void WriteOut(std::string_view data);
  // Closes a system file without reporting errors; nothing for kNoNativeFile. One per system.
  static void CloseQuietly(NativeFile file) noexcept;

  NativeFile fd_ = kNoNativeFile;
  std::atomic<bool> interrupted_ = false;
  std::string path_;
  std::string buffer_;
  std::uint64_t bytesWritten_ = 0;
};

}  // namespace kelvane
