# Cross build for macOS with zig: the macOS C library headers and libc++ come
# with it. Its linker gives every binary an ad-hoc code signature, which an
# Apple silicon Mac requires before it runs one.
set(CMAKE_SYSTEM_NAME Darwin)
include("${CMAKE_CURRENT_LIST_DIR}/zig.cmake")
