# Run as a script: cmake -DOUTPUT=file.cpp -DBASE=dir -DFILES="a;b" -P EmbedFiles.cmake
# Writes a C++ source that defines kelvane::res::EmbeddedFile() over the given files.

set(body "")
set(table "")
set(index 0)
foreach(name IN LISTS FILES)
  file(READ "${BASE}/${name}" hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(APPEND body "const char kFile${index}[] = {${bytes} '\\0'};\n")
  string(APPEND table "    {\"${name}\", std::string_view(kFile${index}, ${size})},\n")
  math(EXPR index "${index} + 1")
endforeach()

file(WRITE "${OUTPUT}.tmp" "// Generated from res/ by cmake/EmbedFiles.cmake; do not edit.
#include \"res/resource_script.h\"

#include <array>
#include <utility>

namespace kelvane::res {
namespace {
${body}
const std::pair<std::string_view, std::string_view> kFiles[] = {
${table}};
}  // namespace

std::string_view EmbeddedFile(std::string_view name) {
  for (const auto& [fileName, bytes] : kFiles) {
    if (fileName == name) {
      return bytes;
    }
  }
  return {};
}

}  // namespace kelvane::res
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
