# Provides fmt::fmt. Natively it is the installed library; a cross build for
# Windows has no fmt of its own, so it uses the same headers in header-only
# mode, staged in a folder of their own so no other host header can leak in.
find_package(fmt QUIET)
if(fmt_FOUND)
  return()
endif()

find_path(HUANGLANG_FMT_HEADERS fmt/format.h
  PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(NOT HUANGLANG_FMT_HEADERS)
  message(FATAL_ERROR "The fmt library is missing: install libfmt-dev (scripts/setup installs it).")
endif()

set(staged "${CMAKE_BINARY_DIR}/fmt-headers")
file(MAKE_DIRECTORY "${staged}")
file(CREATE_LINK "${HUANGLANG_FMT_HEADERS}/fmt" "${staged}/fmt" SYMBOLIC)
add_library(fmt_header_only INTERFACE)
target_include_directories(fmt_header_only SYSTEM INTERFACE "${staged}")
target_compile_definitions(fmt_header_only INTERFACE FMT_HEADER_ONLY=1)
add_library(fmt::fmt ALIAS fmt_header_only)
