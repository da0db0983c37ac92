// Fuzzes the resource-script parser with any text: it returns a script or throws ScriptError,
// naming the line, and never anything else.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "res/resource_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  // The input is the script, then, after the first NUL byte, the text of any file it includes.
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const size_t nul = bytes.find('\0');
  const std::string_view script = bytes.substr(0, nul);
  const std::string_view included = nul == std::string_view::npos ? std::string_view() : bytes.substr(nul + 1);
  int includes = 0;
  const auto resolve = [&](std::string_view name) -> std::string {
    if (name.empty() || ++includes > 4) {
      throw kelvane::res::ScriptError("no such file");
    }
    return std::string(included);
  };
  try {
    const kelvane::res::ResourceScript parsed = kelvane::res::ParseResourceScript(script, resolve);
    for (const auto& [id, dialog] : parsed.dialogs) {
      if (dialog.id != id) {
        std::fprintf(stderr, "dialog %d filed under %d\n", dialog.id, id);
        std::abort();
      }
    }
  } catch (const kelvane::res::ScriptError& error) {
    if (std::string_view(error.what()).empty()) {
      std::fprintf(stderr, "an error without a message\n");
      std::abort();
    }
  }
  return 0;
}
