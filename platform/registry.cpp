#include "platform/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <unordered_map>

#include "res/resource.h"
#include "res/resource_script.h"

namespace kelvane {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER\\";
constexpr std::string_view kNewline = "\r\n";
// regedit wraps hex data once a line passes this many characters.
constexpr size_t kHexLineWidth = 76;
// How long a change waits for another copy of the program to finish its own: a stopped process
// holding the lock must not hang the program for ever.
constexpr int kLockAttempts = 1000;
constexpr long kLockPauseNanoseconds = 10'000'000;
// Damaged files kept beside the settings file: Kelvane.reg.bad, then Kelvane.reg.bad.2 and so on.
constexpr int kMaxDamagedCopies = 100;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  return text;
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

char FoldAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Key and value names compare as the registry compares them: without regard to case.
std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    c = FoldAscii(c);
  }
  return folded;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) {
      return false;
    }
  }
  return true;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

// Reads 1 to maxDigits hex digits at pos.
bool ReadHexNumber(std::string_view text, size_t& pos, size_t maxDigits, std::uint32_t& value) {
  value = 0;
  size_t digits = 0;
  while (pos < text.size() && HexDigit(text[pos]) >= 0) {
    if (++digits > maxDigits) {
      return false;
    }
    value = (value << 4) | static_cast<std::uint32_t>(HexDigit(text[pos++]));
  }
  return digits > 0;
}

// Reads a quoted string whose opening quote is at pos, leaving pos past the closing quote. Only \\ and
// \" are escapes; any other backslash is kept as written, as a person typing a path would expect.
bool ReadQuoted(std::string_view text, size_t& pos, std::string& out) {
  ++pos;
  while (pos < text.size()) {
    const char c = text[pos++];
    if (c == '"') {
      return true;
    }
    if (c == '\\' && pos < text.size() && (text[pos] == '\\' || text[pos] == '"')) {
      out += text[pos++];
    } else {
      out += c;
    }
  }
  return false;
}

// Comma-separated bytes of one or two hex digits; blanks and a final comma are allowed.
bool ReadHexBytes(std::string_view list, std::string& out) {
  size_t pos = 0;
  for (;;) {
    while (pos < list.size() && IsBlank(list[pos])) {
      ++pos;
    }
    if (pos == list.size()) {
      return true;
    }
    std::uint32_t byte = 0;
    if (!ReadHexNumber(list, pos, 2, byte)) {
      return false;
    }
    out += static_cast<char>(byte);
    while (pos < list.size() && IsBlank(list[pos])) {
      ++pos;
    }
    if (pos == list.size()) {
      return true;
    }
    if (list[pos++] != ',') {
      return false;
    }
  }
}

// Whether the quoted form can hold text: valid UTF-8 without control characters (C0, DEL, C1), since
// a line break would end the line and regedit reads no escapes for them.
bool IsQuotable(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      if (lead < 0x20 || lead == 0x7F) {
        return false;
      }
      ++i;
      continue;
    }
    size_t length = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07u;
    } else {
      return false;
    }
    if (i + length > text.size()) {
      return false;
    }
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        return false;
      }
      code = (code << 6) | (next & 0x3Fu);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF) || (code >= 0x80 && code <= 0x9F)) {
      return false;
    }
    i += length;
  }
  return true;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    if (c == '\\' || c == '"') {
      out += '\\';
    }
    out += c;
  }
  out += '"';
}

void AppendHexByte(std::string& out, unsigned value) {
  constexpr std::string_view kDigits = "0123456789abcdef";
  out += kDigits[(value >> 4) & 0xF];
  out += kDigits[value & 0xF];
}

void AppendValue(std::string& out, const RegValue& value) {
  size_t lineStart = out.size();
  if (value.name.empty()) {
    out += '@';
  } else {
    AppendQuoted(out, value.name);
  }
  out += '=';
  const std::string_view data = value.data;
  if (value.type == REG_SZ && !data.empty() && data.back() == '\0' && IsQuotable(data.substr(0, data.size() - 1))) {
    AppendQuoted(out, data.substr(0, data.size() - 1));
  } else if (value.type == REG_DWORD && data.size() == 4) {
    out += "dword:";
    for (size_t i = 4; i-- > 0;) {
      AppendHexByte(out, static_cast<unsigned char>(data[i]));
    }
  } else {
    if (value.type == REG_BINARY) {
      out += "hex:";
    } else {
      out += "hex(";
      bool started = false;
      for (int shift = 28; shift >= 0; shift -= 4) {
        const unsigned digit = (value.type >> shift) & 0xFu;
        if (digit != 0 || started || shift == 0) {
          out += "0123456789abcdef"[digit];
          started = true;
        }
      }
      out += "):";
    }
    for (size_t i = 0; i < data.size(); ++i) {
      AppendHexByte(out, static_cast<unsigned char>(data[i]));
      if (i + 1 < data.size()) {
        out += ',';
        if (out.size() - lineStart > kHexLineWidth) {
          out += "\\\r\n  ";
          lineStart = out.size() - 2;
        }
      }
    }
  }
  out += kNewline;
}

// Parsing state: which section a name belongs to, found without a scan so huge files stay linear.
class DocumentBuilder {
 public:
  explicit DocumentBuilder(RegParseResult& result) : result_(result) {}

  void Issue(size_t line, std::string reason) { result_.issues.push_back({line, std::move(reason)}); }

  void StartSection(std::string_view path) {
    const auto [it, added] = sections_.try_emplace(Folded(path), result_.document.sections.size());
    if (added) {
      result_.document.sections.push_back({std::string(path), {}, {}});
    }
    current_ = static_cast<long>(it->second);
    skipping_ = false;
  }

  // Lines up to the next readable key line belong to a key that could not be read.
  void SkipSection() {
    current_ = -1;
    skipping_ = true;
  }

  void AddComment(std::string_view comment) {
    if (current_ >= 0) {
      result_.document.sections[static_cast<size_t>(current_)].comments.emplace_back(comment);
    } else if (!skipping_) {
      result_.document.comments.emplace_back(comment);
    }
  }

  void AddValue(size_t line, RegValue value) {
    if (skipping_) {
      return;  // its key line is already listed
    }
    if (current_ < 0) {
      Issue(line, "a value before the first key");
      return;
    }
    std::vector<RegValue>& values = result_.document.sections[static_cast<size_t>(current_)].values;
    const auto [it, added] = values_.try_emplace(std::to_string(current_) + '\0' + Folded(value.name), values.size());
    if (added) {
      values.push_back(std::move(value));
      return;
    }
    // regedit would keep the later one; the earlier is listed so that the original file is kept.
    Issue(line, "a second value of the same name");
    values[it->second].type = value.type;
    values[it->second].data = std::move(value.data);
  }

 private:
  RegParseResult& result_;
  std::unordered_map<std::string, size_t> sections_;
  std::unordered_map<std::string, size_t> values_;
  long current_ = -1;
  bool skipping_ = false;
};

// Reads the data after "=" of a value line; line is advanced past any continuation lines.
bool ReadValueData(const std::vector<std::string_view>& lines, size_t& line, std::string_view data, RegValue& value,
                   std::string& reason) {
  if (!data.empty() && data.front() == '"') {
    size_t pos = 0;
    std::string text;
    if (!ReadQuoted(data, pos, text)) {
      reason = "a string without its closing quote";
      return false;
    }
    if (!TrimLeft(data.substr(pos)).empty()) {
      reason = "text after a string";
      return false;
    }
    value.type = REG_SZ;
    value.data = std::move(text);
    value.data += '\0';
    return true;
  }
  if (StartsWithIgnoreCase(data, "dword:")) {
    size_t pos = 6;
    std::uint32_t number = 0;
    if (!ReadHexNumber(data, pos, 8, number) || !TrimLeft(data.substr(pos)).empty()) {
      reason = "a dword that is not 1 to 8 hex digits";
      return false;
    }
    value.type = REG_DWORD;
    for (int i = 0; i < 4; ++i) {
      value.data += static_cast<char>((number >> (8 * i)) & 0xFFu);
    }
    return true;
  }
  if (StartsWithIgnoreCase(data, "hex")) {
    size_t pos = 3;
    value.type = REG_BINARY;
    if (pos < data.size() && data[pos] == '(') {
      ++pos;
      if (!ReadHexNumber(data, pos, 8, value.type) || pos >= data.size() || data[pos] != ')') {
        reason = "a hex type that is not 1 to 8 hex digits";
        return false;
      }
      ++pos;
    }
    if (pos >= data.size() || data[pos] != ':') {
      reason = "a hex value without its colon";
      return false;
    }
    std::string list(data.substr(pos + 1));
    while (!list.empty() && list.back() == '\\') {
      list.pop_back();
      if (line + 1 >= lines.size()) {
        reason = "hex data cut short";
        return false;
      }
      list += TrimRight(TrimLeft(lines[++line]));
    }
    if (!ReadHexBytes(list, value.data)) {
      reason = "hex data that is not comma-separated bytes";
      return false;
    }
    return true;
  }
  reason = data == "-" ? "a value deletion" : "a value of unknown form";
  return false;
}

std::string FullPath(std::string_view subKey) {
  std::string path(kRoot);
  path += subKey;
  return path;
}

bool IsValidName(std::string_view name) {
  return name.find_first_of("\r\n\0"sv) == std::string_view::npos;
}

bool IsValidSubKey(std::string_view subKey) {
  if (subKey.empty() || !IsValidName(subKey)) {
    return false;
  }
  size_t start = 0;
  for (;;) {
    const size_t end = subKey.find('\\', start);
    if (end == start || start == subKey.size()) {
      return false;  // an empty name between backslashes
    }
    if (end == std::string_view::npos) {
      return true;
    }
    start = end + 1;
  }
}

long FindSection(const RegDocument& document, std::string_view path) {
  for (size_t i = 0; i < document.sections.size(); ++i) {
    if (EqualsIgnoreCase(document.sections[i].path, path)) {
      return static_cast<long>(i);
    }
  }
  return -1;
}

// A key exists when it has a section or any key below it does, as importing the file would create it.
bool KeyExists(const RegDocument& document, std::string_view path) {
  for (const RegSection& section : document.sections) {
    const std::string_view name = section.path;
    if (StartsWithIgnoreCase(name, path) && (name.size() == path.size() || name[path.size()] == '\\')) {
      return true;
    }
  }
  return false;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  [[nodiscard]] int get() const { return fd_; }

 private:
  int fd_;
};

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return errno;
    }
    if (written == 0) {
      return ENOSPC;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return 0;
}

// The rename is only durable once the folder's entry is on disk; some file systems cannot sync a
// folder, and the file is in place by then, so failures are ignored.
void SyncFolder(const std::string& folder) {
  const Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) {
    ::fsync(fd.get());
  }
}

// Reads a regular file; a missing file (or folder) is no error, and leaves exists false.
int ReadRegularFile(const std::string& path, std::string& bytes, bool& exists) {
  bytes.clear();
  exists = false;
  // O_NONBLOCK: a FIFO put in the file's place must not hang the program.
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) {
    return errno == ENOENT || errno == ENOTDIR ? 0 : errno;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    return errno;
  }
  if (!S_ISREG(info.st_mode)) {
    return S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
  }
  char chunk[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return errno;
    }
    if (got == 0) {
      exists = true;
      return 0;
    }
    bytes.append(chunk, static_cast<size_t>(got));
  }
}

int MakeFolders(const std::string& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) {
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
  }
  if (errno != ENOENT) {
    return errno;
  }
  const std::string parent = FolderOf(folder);
  if (parent != folder) {
    if (const int error = MakeFolders(parent)) {
      return error;
    }
  }
  // Settings are the user's own business.
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return errno;
  }
  return 0;
}

// An exclusive lock on "<file>.lock", held while a change re-reads and replaces the file. The lock file
// stays: removing it would let two copies lock different files of the same name.
class ChangeLock {
 public:
  explicit ChangeLock(const std::string& file)
      : fd_(::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600)) {
    if (fd_.get() < 0) {
      return;
    }
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
      if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
        locked_ = true;
        return;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) {
        return;
      }
      const timespec pause{0, kLockPauseNanoseconds};
      ::nanosleep(&pause, nullptr);
    }
  }
  [[nodiscard]] bool locked() const { return locked_; }

 private:
  Descriptor fd_;
  bool locked_ = false;
};

// Keeps a file that could not be read fully beside the settings file, never over an earlier copy.
bool KeepDamagedCopy(const std::string& file, std::string_view bytes) {
  for (int number = 1; number <= kMaxDamagedCopies; ++number) {
    const std::string name = file + ".bad" + (number == 1 ? std::string() : "." + std::to_string(number));
    struct stat info {};
    if (::lstat(name.c_str(), &info) == 0) {
      std::string kept;
      bool exists = false;
      if (ReadRegularFile(name, kept, exists) == 0 && exists && kept == bytes) {
        return true;  // a failed rewrite is being retried: the original is kept already
      }
      continue;
    }
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0) {
      if (errno == EEXIST) {
        continue;
      }
      return false;
    }
    bool written = WriteAll(fd, bytes) == 0 && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written) {
      ::unlink(name.c_str());
      return false;
    }
    SyncFolder(FolderOf(file));
    return true;
  }
  return false;
}

// Re-reads the file under the lock, applies change and replaces the file when its text changed.
RegResult ChangeRegistryFile(const std::string& file, const std::function<RegResult(RegDocument&)>& change) {
  if (MakeFolders(FolderOf(file)) != 0) {
    return RegResult::IoError;
  }
  const ChangeLock lock(file);
  if (!lock.locked()) {
    return RegResult::IoError;
  }
  // A settings file linked from elsewhere (a dotfiles folder) is replaced where it really lives.
  std::string target = file;
  struct stat info {};
  if (::lstat(file.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char* resolved = ::realpath(file.c_str(), nullptr);
    if (resolved == nullptr) {
      return RegResult::IoError;
    }
    target = resolved;
    std::free(resolved);
  }
  std::string bytes;
  bool exists = false;
  if (ReadRegularFile(target, bytes, exists) != 0) {
    return RegResult::IoError;  // never replace what could not be read
  }
  RegParseResult parsed = ParseRegFile(bytes);
  if (const RegResult result = change(parsed.document); result != RegResult::Success) {
    return result;
  }
  const std::string text = FormatRegFile(parsed.document);
  if (exists && text == bytes) {
    return RegResult::Success;
  }
  if (!parsed.issues.empty() && !KeepDamagedCopy(file, bytes)) {
    return RegResult::IoError;
  }
  return ReplaceFileAtomically(target, text) == 0 ? RegResult::Success : RegResult::IoError;
}

RegResult ReadRegistryFile(const std::string& file, RegDocument& document) {
  std::string bytes;
  bool exists = false;
  if (ReadRegularFile(file, bytes, exists) != 0) {
    return RegResult::IoError;
  }
  document = ParseRegFile(bytes).document;
  return RegResult::Success;
}

}  // namespace

RegParseResult ParseRegFile(std::string_view text) {
  RegParseResult result;
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);  // a byte-order mark left by an editor
  }
  if (text.empty()) {
    return result;
  }
  std::vector<std::string_view> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    std::string_view line = text.substr(start, end - start);
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    lines.push_back(line);
    start = end + 1;
  }

  DocumentBuilder builder(result);
  size_t index = 0;
  if (TrimRight(lines[0]) == kHeader) {
    index = 1;
  } else {
    builder.Issue(1, "no REGEDIT4 header");
  }
  for (; index < lines.size(); ++index) {
    const size_t lineNumber = index + 1;
    const std::string_view line = TrimRight(TrimLeft(lines[index]));
    if (line.empty()) {
      continue;
    }
    if (line.front() == ';') {
      builder.AddComment(line);
      continue;
    }
    if (line.front() == '[') {
      if (line.size() < 2 || line.back() != ']') {
        builder.Issue(lineNumber, "a key without its closing bracket");
        builder.SkipSection();
      } else if (const std::string_view path = line.substr(1, line.size() - 2); path.empty() || path.front() == '-') {
        builder.Issue(lineNumber, path.empty() ? "a key without a name" : "a key deletion");
        builder.SkipSection();
      } else {
        builder.StartSection(path);
      }
      continue;
    }
    if (line.front() != '"' && line.front() != '@') {
      builder.Issue(lineNumber, "a line that is neither a key nor a value");
      continue;
    }
    RegValue value;
    size_t pos = 0;
    if (line.front() == '@') {
      pos = 1;  // the default value, which has the empty name
    } else if (!ReadQuoted(line, pos, value.name)) {
      builder.Issue(lineNumber, "a value name without its closing quote");
      continue;
    }
    while (pos < line.size() && IsBlank(line[pos])) {
      ++pos;
    }
    if (pos >= line.size() || line[pos] != '=') {
      builder.Issue(lineNumber, "a value name without =");
      continue;
    }
    std::string reason;
    const std::string_view data = TrimLeft(line.substr(pos + 1));
    if (!ReadValueData(lines, index, data, value, reason)) {
      builder.Issue(lineNumber, reason);
      continue;
    }
    // A string shows its end by its quote; dword and hex data that runs to the very end of the file
    // without a line break may have been cut off there, and "dword:000" or "hex:61,6" would read as
    // another value.
    if (data.front() != '"' && index + 1 == lines.size() && !text.ends_with('\n') && !text.ends_with('\r')) {
      builder.Issue(lineNumber, "a value cut off at the end of the file");
      continue;
    }
    builder.AddValue(lineNumber, std::move(value));
  }
  return result;
}

std::string FormatRegFile(const RegDocument& document) {
  std::string out(kHeader);
  out += kNewline;
  out += kNewline;
  if (!document.comments.empty()) {
    for (const std::string& comment : document.comments) {
      out += comment;
      out += kNewline;
    }
    out += kNewline;
  }
  for (const RegSection& section : document.sections) {
    out += '[';
    out += section.path;
    out += ']';
    out += kNewline;
    for (const std::string& comment : section.comments) {
      out += comment;
      out += kNewline;
    }
    for (const RegValue& value : section.values) {
      AppendValue(out, value);
    }
    out += kNewline;
  }
  return out;
}

std::vector<std::string> SplitMultiString(std::string_view data) {
  std::vector<std::string> elements;
  if (data.ends_with("\0\0"sv)) {
    data.remove_suffix(1);  // the list's own terminator
  } else if (data == "\0"sv) {
    return elements;  // the empty list
  }
  size_t pos = 0;
  while (pos < data.size()) {
    const size_t nul = data.find('\0', pos);
    if (nul == std::string_view::npos) {
      elements.emplace_back(data.substr(pos));  // data cut short: the element ends with the data
      break;
    }
    elements.emplace_back(data.substr(pos, nul - pos));
    pos = nul + 1;
  }
  return elements;
}

std::string JoinMultiString(const std::vector<std::string>& elements) {
  std::string data;
  for (const std::string& element : elements) {
    // An element is a C string: a NUL inside it would split it in two on the way back.
    data.append(element, 0, element.find('\0'));
    data += '\0';
  }
  data += '\0';
  return data;
}

std::string RegistryFilePath() {
  // Relative values are ignored, as the XDG base directory rules ask.
  std::string base;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
      const passwd* user = ::getpwuid(::getuid());
      home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] == '\0') {
      return {};
    }
    base = std::string(home) + "/.config";
  }
  while (base.size() > 1 && base.back() == '/') {
    base.pop_back();
  }
  return base + "/" + res::LoadString(IDS_COMPANY_NAME) + "/" + res::LoadString(IDS_APP_TITLE) + ".reg";
}

int ReplaceFileAtomically(const std::string& path, std::string_view bytes) noexcept {
  try {
    mode_t mode = 0600;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
      if (!S_ISREG(info.st_mode)) {
        return S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
      }
      mode = info.st_mode & 07777;
    } else if (errno != ENOENT) {
      return errno;
    }
    const std::string folder = FolderOf(path);
    const size_t slash = path.rfind('/');
    std::string temp = folder + "/." + path.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
      return errno;
    }
    int error = ::fchmod(fd, mode) != 0 ? errno : 0;
    if (error == 0) {
      error = WriteAll(fd, bytes);
    }
    if (error == 0 && ::fsync(fd) != 0) {
      error = errno;
    }
    if (::close(fd) != 0 && error == 0 && errno != EINTR) {
      error = errno;
    }
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) {
      error = errno;
    }
    if (error != 0) {
      ::unlink(temp.c_str());
      return error;
    }
    SyncFolder(folder);
    return 0;
  } catch (...) {
    return ENOMEM;
  }
}

RegResult OpenRegistryKey(const std::string& subKey, RegAccess access, RegKey& key) noexcept {
  try {
    CloseRegistryKey(key);
    if (!IsValidSubKey(subKey)) {
      return RegResult::InvalidParameter;
    }
    std::string file = RegistryFilePath();
    if (file.empty()) {
      return RegResult::NotFound;
    }
    RegDocument document;
    if (const RegResult result = ReadRegistryFile(file, document); result != RegResult::Success) {
      return result;
    }
    if (!KeyExists(document, FullPath(subKey))) {
      return RegResult::NotFound;
    }
    key = {std::move(file), subKey, access, true};
    return RegResult::Success;
  } catch (...) {
    return RegResult::IoError;
  }
}

RegResult CreateRegistryKey(const std::string& subKey, RegKey& key) noexcept {
  try {
    if (const RegResult opened = OpenRegistryKey(subKey, RegAccess::ReadWrite, key); opened != RegResult::NotFound) {
      return opened;  // it exists already, so nothing needs writing
    }
    std::string file = RegistryFilePath();
    if (file.empty()) {
      return RegResult::IoError;
    }
    const std::string path = FullPath(subKey);
    const RegResult result = ChangeRegistryFile(file, [&](RegDocument& document) {
      if (!KeyExists(document, path)) {
        document.sections.push_back({path, {}, {}});
      }
      return RegResult::Success;
    });
    if (result == RegResult::Success) {
      key = {std::move(file), subKey, RegAccess::ReadWrite, true};
    }
    return result;
  } catch (...) {
    return RegResult::IoError;
  }
}

RegResult QueryRegistryValue(const RegKey& key, const std::string& name, std::uint32_t& type,
                             std::string& data) noexcept {
  try {
    if (!key.open) {
      return RegResult::InvalidHandle;
    }
    if (key.access == RegAccess::Write) {
      return RegResult::AccessDenied;
    }
    RegDocument document;
    if (const RegResult result = ReadRegistryFile(key.file, document); result != RegResult::Success) {
      return result;
    }
    const long section = FindSection(document, FullPath(key.subKey));
    if (section < 0) {
      return RegResult::NotFound;
    }
    for (const RegValue& value : document.sections[static_cast<size_t>(section)].values) {
      if (EqualsIgnoreCase(value.name, name)) {
        type = value.type;
        data = value.data;
        return RegResult::Success;
      }
    }
    return RegResult::NotFound;
  } catch (...) {
    return RegResult::IoError;
  }
}

RegResult SetRegistryValue(const RegKey& key, const std::string& name, std::uint32_t type,
                           std::string_view data) noexcept {
  try {
    if (!key.open) {
      return RegResult::InvalidHandle;
    }
    if (key.access == RegAccess::Read) {
      return RegResult::AccessDenied;
    }
    if (!IsValidName(name)) {
      return RegResult::InvalidParameter;
    }
    const std::string path = FullPath(key.subKey);
    return ChangeRegistryFile(key.file, [&](RegDocument& document) {
      // A key removed by hand since it was opened comes back rather than losing the value.
      long section = FindSection(document, path);
      if (section < 0) {
        section = static_cast<long>(document.sections.size());
        document.sections.push_back({path, {}, {}});
      }
      std::vector<RegValue>& values = document.sections[static_cast<size_t>(section)].values;
      for (RegValue& value : values) {
        if (EqualsIgnoreCase(value.name, name)) {
          value.type = type;
          value.data = data;
          return RegResult::Success;
        }
      }
      values.push_back({name, type, std::string(data)});
      return RegResult::Success;
    });
  } catch (...) {
    return RegResult::IoError;
  }
}

void CloseRegistryKey(RegKey& key) noexcept {
  key.open = false;
  key.file.clear();
  key.subKey.clear();
}

}  // namespace kelvane
