#include "platform/message_text.h"

#include <vector>

#include "res/resource_script.h"

namespace kelvane {

namespace {

void AppendArg(std::string& out, const MessageArg& arg) {
  if (const auto* text = std::get_if<std::string_view>(&arg)) {
    out += *text;
  } else {
    out += std::to_string(std::get<std::int64_t>(arg));
  }
}

}  // namespace

std::string FormatText(std::string_view format, std::initializer_list<MessageArg> args) {
  std::string out;
  out.reserve(format.size());
  const MessageArg* next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%' || i + 1 == format.size()) {
      out += c;
      continue;
    }
    const char conversion = format[i + 1];
    if (conversion == '%') {
      out += '%';
      ++i;
    } else if ((conversion == 's' || conversion == 'd') && next != args.end()) {
      AppendArg(out, *next++);
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

std::string FormatFrameworkText(std::string_view format, std::initializer_list<std::string_view> args) {
  const std::vector<std::string_view> values(args);
  std::string out;
  out.reserve(format.size());
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] >= '1' && format[i + 1] <= '9') {
      const size_t index = static_cast<size_t>(format[i + 1] - '1');
      if (index < values.size()) {
        out += values[index];
      }
      ++i;
      continue;
    }
    out += format[i];
  }
  return out;
}

std::string LoadMessage(int id, std::initializer_list<MessageArg> args) {
  return FormatText(res::LoadString(id), args);
}

}  // namespace kelvane
