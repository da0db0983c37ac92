# Shared settings for the project's own targets.

if(KELVANE_SANITIZE)
  add_compile_options(-fsanitize=${KELVANE_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${KELVANE_SANITIZE})
endif()

# Windows: the wide (UTF-16) calls everywhere, converted from and to our UTF-8 at each call, and
# nothing newer than Windows 7 assumed.
if(WIN32)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

function(kelvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
  if(KELVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# kelvane_add_library(name SOURCES...): a static library kelvane_<name> with the alias kelvane::<name>,
# whose headers are included as "<folder>/<header>.h" from the source root.
function(kelvane_add_library name)
  add_library(kelvane_${name} STATIC ${ARGN})
  add_library(kelvane::${name} ALIAS kelvane_${name})
  target_include_directories(kelvane_${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
  kelvane_warnings(kelvane_${name})
endfunction()
