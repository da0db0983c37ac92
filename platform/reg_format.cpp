// Writing REGEDIT4 text, the multi-string layout, and finding keys and values in a document.

#include "platform/reg_format.h"

#include <algorithm>
#include <utility>

namespace kelvane {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kNewline = "\r\n";
// regedit wraps hex data once a line passes this many characters.
constexpr size_t kHexLineWidth = 76;
constexpr std::string_view kContinuation = "\\\r\n  ";
constexpr char kHexDigits[] = "0123456789abcdef";

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

// At most how many bytes a hex value's data takes once written, wrapped lines included.
size_t HexSizeBound(size_t bytes) {
  return bytes * 3 + (bytes / 24 + 2) * kContinuation.size();
}

// The data as comma-separated hex bytes, wrapped as regedit wraps them; column is where the line
// stands before the first byte. Written through a pointer: a huge list is millions of bytes.
void AppendHexData(std::string& out, std::string_view data, size_t column) {
  const size_t start = out.size();
  out.resize(start + HexSizeBound(data.size()));
  char* p = out.data() + start;
  for (size_t i = 0; i < data.size(); ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    *p++ = kHexDigits[byte >> 4];
    *p++ = kHexDigits[byte & 0xF];
    column += 2;
    if (i + 1 < data.size()) {
      *p++ = ',';
      if (++column > kHexLineWidth) {
        p = std::copy(kContinuation.begin(), kContinuation.end(), p);
        column = 2;
      }
    }
  }
  out.resize(static_cast<size_t>(p - out.data()));
}

void AppendValue(std::string& out, const RegValue& value) {
  const size_t lineStart = out.size();
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
      const auto byte = static_cast<unsigned char>(data[i]);
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0xF];
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
          out += kHexDigits[digit];
          started = true;
        }
      }
      out += "):";
    }
    AppendHexData(out, data, out.size() - lineStart);
  }
  out += kNewline;
}

// Room for the whole text up front, so a huge file is built without copying it as it grows.
size_t FormattedSizeBound(const RegDocument& document) {
  size_t size = 64;
  const auto lines = [&size](const std::vector<std::string>& comments) {
    for (const std::string& comment : comments) {
      size += comment.size() + 2;
    }
  };
  lines(document.comments);
  for (const RegSection& section : document.sections) {
    size += section.path.size() + 8;
    lines(section.comments);
    for (const RegValue& value : section.values) {
      size += value.name.size() * 2 + 32 + HexSizeBound(value.data.size());
    }
  }
  return size;
}

}  // namespace

std::string FormatRegFile(const RegDocument& document) {
  std::string out;
  out.reserve(FormattedSizeBound(document));
  out += kHeader;
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
  size_t size = 1;
  for (const std::string& element : elements) {
    size += element.size() + 1;
  }
  std::string data;
  data.reserve(size);
  for (const std::string& element : elements) {
    // An element is a C string: a NUL inside it would split it in two on the way back.
    data.append(element, 0, element.find('\0'));
    data += '\0';
  }
  data += '\0';
  return data;
}

char FoldAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameRegName(std::string_view a, std::string_view b) {
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

const RegSection* FindRegSection(const RegDocument& document, std::string_view path) {
  for (const RegSection& section : document.sections) {
    if (SameRegName(section.path, path)) {
      return &section;
    }
  }
  return nullptr;
}

RegSection* FindRegSection(RegDocument& document, std::string_view path) {
  return const_cast<RegSection*>(FindRegSection(std::as_const(document), path));
}

const RegValue* FindRegValue(const std::vector<RegValue>& values, std::string_view name) {
  for (const RegValue& value : values) {
    if (SameRegName(value.name, name)) {
      return &value;
    }
  }
  return nullptr;
}

const RegValue* FindRegValue(const RegSection& section, std::string_view name) {
  return FindRegValue(section.values, name);
}

RegValue* FindRegValue(RegSection& section, std::string_view name) {
  return const_cast<RegValue*>(FindRegValue(std::as_const(section), name));
}

}  // namespace kelvane
