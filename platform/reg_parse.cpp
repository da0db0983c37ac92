// Reading REGEDIT4 text. Huge values (a list of a million lines) are read in one pass: lines are
// found with memchr, hex data is decoded as it is met, and nothing is copied twice.

#include <algorithm>
#include <array>
#include <unordered_map>

#include "platform/reg_format.h"

namespace kelvane {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";

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

std::string_view Trim(std::string_view text) {
  return TrimRight(TrimLeft(text));
}

bool StartsWithName(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameRegName(text.substr(0, prefix.size()), prefix);
}

// The value of a hex digit, or -1, by table: a huge list has millions of them.
constexpr auto kHexDigitValues = [] {
  std::array<signed char, 256> values{};
  values.fill(-1);
  for (int c = 0; c < 10; ++c) {
    values['0' + c] = static_cast<signed char>(c);
  }
  for (int c = 0; c < 6; ++c) {
    values['a' + c] = values['A' + c] = static_cast<signed char>(10 + c);
  }
  return values;
}();

int HexDigit(char c) {
  return kHexDigitValues[static_cast<unsigned char>(c)];
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

// Comma-separated bytes of one or two hex digits, blanks around them and a final comma allowed, fed
// piece by piece as the continuation lines come, so a byte may even be split across two lines.
class HexBytesReader {
 public:
  explicit HexBytesReader(std::string& out) : out_(out), used_(out.size()) {}

  void Feed(std::string_view piece) {
    // Every byte takes at least two characters ("1,"): room for them all, written through a pointer.
    if (const size_t needed = used_ + piece.size() / 2 + 1; out_.size() < needed) {
      out_.resize(std::max(needed, out_.capacity()));
    }
    size_t i = 0;
    while (i < piece.size() && !bad_) {
      // Most of a huge value is "xx," after "xx,": those take the quick way.
      if (state_ == State::ExpectByte) {
        char* next = out_.data() + used_;
        while (i + 3 <= piece.size() && piece[i + 2] == ',') {
          const int high = HexDigit(piece[i]);
          const int low = HexDigit(piece[i + 1]);
          if (high < 0 || low < 0) {
            break;
          }
          *next++ = static_cast<char>((high << 4) | low);
          i += 3;
        }
        used_ = static_cast<size_t>(next - out_.data());
        if (i == piece.size()) {
          return;
        }
      }
      Step(piece[i++]);
    }
  }

  // Whether everything fed was good bytes.
  bool Finish() {
    if (!bad_ && state_ == State::InByte) {
      Emit(State::AfterByte);
    }
    out_.resize(used_);
    return !bad_;
  }

 private:
  enum class State { ExpectByte, InByte, AfterByte };

  void Step(char c) {
    if (IsBlank(c)) {
      if (state_ == State::InByte) {
        Emit(State::AfterByte);
      }
    } else if (c == ',') {
      if (state_ == State::ExpectByte) {
        bad_ = true;
      } else if (state_ == State::InByte) {
        Emit(State::ExpectByte);
      } else {
        state_ = State::ExpectByte;
      }
    } else if (const int digit = HexDigit(c); digit < 0 || state_ == State::AfterByte || digits_ == 2) {
      bad_ = true;
    } else {
      byte_ = (byte_ << 4) | static_cast<unsigned>(digit);
      ++digits_;
      state_ = State::InByte;
    }
  }

  void Emit(State next) {
    out_[used_++] = static_cast<char>(byte_);
    byte_ = 0;
    digits_ = 0;
    state_ = next;
  }

  std::string& out_;
  size_t used_;  // out_ is longer, with room for what comes
  State state_ = State::ExpectByte;
  unsigned byte_ = 0;
  int digits_ = 0;
  bool bad_ = false;
};

// The lines of a text, CR LF or LF, counted from 1.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) {
      return false;
    }
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) {
      end = text_.size();
    }
    line = text_.substr(pos_, end - pos_);
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    pos_ = end + 1;
    ++number_;
    return true;
  }

  // The bytes from here to the end of the hex data that continues onto the following lines.
  [[nodiscard]] size_t ContinuedSpan() const {
    size_t end = pos_;
    while (end < text_.size()) {
      size_t next = text_.find('\n', end);
      if (next == std::string_view::npos) {
        next = text_.size();
      }
      const std::string_view line = text_.substr(end, next - end);
      const size_t last = line.find_last_not_of(" \t\r");
      end = next + 1;
      if (last == std::string_view::npos || line[last] != '\\') {
        break;
      }
    }
    return std::min(end, text_.size()) - pos_;
  }

  [[nodiscard]] size_t number() const { return number_; }
  // Whether the last line read was the text's last and had no line break after it.
  [[nodiscard]] bool CutOff() const { return pos_ >= text_.size() && !text_.ends_with('\n') && !text_.ends_with('\r'); }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  size_t number_ = 0;
};

// Hashes names as the registry compares them: without regard to the case of ASCII letters.
struct NameHash {
  size_t operator()(std::string_view name) const {
    // 64-bit FNV-1a on every system, cut to size_t's width on 32-bit ones.
    std::uint64_t hash = 14695981039346656037U;
    for (char c : name) {
      if (c >= 'a' && c <= 'z') {
        c = static_cast<char>(c - 'a' + 'A');
      }
      hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211U;
    }
    return static_cast<size_t>(hash);
  }
};

struct NameEqual {
  bool operator()(std::string_view a, std::string_view b) const { return SameRegName(a, b); }
};

// Parsing state: which section a name belongs to, found without a scan so huge files stay linear.
class DocumentBuilder {
 public:
  explicit DocumentBuilder(RegParseResult& result) : result_(result) {}

  void Issue(size_t line, std::string reason) { result_.issues.push_back({line, std::move(reason)}); }

  void StartSection(std::string_view path) {
    const auto [it, added] = sections_.try_emplace(std::string(path), result_.document.sections.size());
    if (added) {
      result_.document.sections.push_back({std::string(path), {}, {}});
      values_.emplace_back();
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
    const auto [it, added] = values_[static_cast<size_t>(current_)].try_emplace(value.name, values.size());
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
  using NameIndex = std::unordered_map<std::string, size_t, NameHash, NameEqual>;
  RegParseResult& result_;
  NameIndex sections_;
  std::vector<NameIndex> values_;  // per section
  long current_ = -1;
  bool skipping_ = false;
};

// Reads the data after "=" of a value line; lines moves past any continuation lines.
bool ReadValueData(LineReader& lines, std::string_view data, RegValue& value, std::string& reason) {
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
  if (StartsWithName(data, "dword:")) {
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
  if (StartsWithName(data, "hex")) {
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
    std::string_view piece = data.substr(pos + 1);
    if (piece.ends_with('\\')) {
      value.data.reserve((piece.size() + lines.ContinuedSpan()) / 3 + 64);
    }
    // A line ending in a backslash goes on on the next. The backslashes at the end of what has been
    // read so far wait: a blank line after them leaves them at the end, to go on once more.
    HexBytesReader reader(value.data);
    size_t backslashes = 0;
    const auto take = [&](std::string_view next) {
      if (next.empty()) {
        return;
      }
      if (backslashes > 0) {
        reader.Feed("\\");  // no hex digit: the data is not bytes
      }
      const size_t body = next.find_last_not_of('\\') + 1;
      reader.Feed(next.substr(0, body));
      backslashes = next.size() - body;
    };
    take(piece);
    while (backslashes > 0) {
      --backslashes;
      std::string_view next;
      if (!lines.Next(next)) {
        reason = "hex data cut short";
        return false;
      }
      take(Trim(next));
    }
    if (!reader.Finish()) {
      reason = "hex data that is not comma-separated bytes";
      return false;
    }
    return true;
  }
  reason = data == "-" ? "a value deletion" : "a value of unknown form";
  return false;
}

}  // namespace

RegParseResult ParseRegFile(std::string_view text) {
  RegParseResult result;
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);  // a byte-order mark left by an editor
  }
  LineReader lines(text);
  std::string_view raw;
  if (!lines.Next(raw)) {
    return result;
  }
  DocumentBuilder builder(result);
  bool first = true;
  if (TrimRight(raw) == kHeader) {
    first = false;
  } else {
    builder.Issue(1, "no REGEDIT4 header");
  }
  while (first || lines.Next(raw)) {
    first = false;
    const size_t lineNumber = lines.number();
    const std::string_view line = Trim(raw);
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
    if (!ReadValueData(lines, data, value, reason)) {
      // Continuation lines of a bad value are part of it: they were consumed and are not listed.
      builder.Issue(lineNumber, reason);
      continue;
    }
    // A string shows its end by its quote; dword and hex data that runs to the very end of the file
    // without a line break may have been cut off there, and "dword:000" or "hex:61,6" would read as
    // another value.
    if (data.front() != '"' && lines.CutOff()) {
      builder.Issue(lineNumber, "a value cut off at the end of the file");
      continue;
    }
    builder.AddValue(lineNumber, std::move(value));
  }
  return result;
}

}  // namespace kelvane
