// Fuzzes the repeat-count parser against a reference written from the rules of the field.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/validation.h"

namespace {

constexpr int kUntouched = -12345;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Blanks, a sign, decimal digits, blanks and nothing else, in the first 31 characters; beyond 32 bits
// the nearest limit; a zero written with a sign is refused.
bool Reference(std::string_view text, int& value) {
  text = text.substr(0, 31);
  size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  const size_t first = pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos++] == '-';
  }
  const size_t digitsStart = pos;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
  std::string_view digits = text.substr(digitsStart, pos - digitsStart);
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (digits.empty() || pos != text.size()) {
    return false;
  }
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  // Ten digits at most fit in 64 bits with room to spare; more are beyond any 32-bit limit.
  const std::int64_t magnitude = digits.size() > 10 ? (std::int64_t{1} << 40) : std::atoll(std::string(digits).c_str());
  std::int64_t number = negative ? -magnitude : magnitude;
  if (number > INT32_MAX) number = INT32_MAX;
  if (number < INT32_MIN) number = INT32_MIN;
  if (number == 0 && text[first] != '0') {
    return false;
  }
  value = static_cast<int>(number);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  int ours = kUntouched;
  int expected = kUntouched;
  const bool accepted = kelvane::ParseRepeatCount(text, ours);
  if (accepted != Reference(text, expected) || ours != expected) {
    std::fprintf(stderr, "ParseRepeatCount(\"%.*s\") gave %d/%d, the reference %d/%d\n", static_cast<int>(size),
                 text.data(), accepted, ours, !accepted, expected);
    std::abort();
  }
  return 0;
}
