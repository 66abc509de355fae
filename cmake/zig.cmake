# What every zig cross build shares: zig brings clang, the target's C library
# headers and libc++, so no SDK or sysroot of the target is needed (npm ci
# installs it into node_modules). The preset names the target in
# CMAKE_CXX_COMPILER_TARGET.
set(CMAKE_CXX_COMPILER "${CMAKE_CURRENT_LIST_DIR}/zig/c++")
set(CMAKE_AR "${CMAKE_CURRENT_LIST_DIR}/zig/ar")
set(CMAKE_RANLIB "${CMAKE_CURRENT_LIST_DIR}/zig/ranlib")
# Nothing of this machine's own libraries or packages: fmt comes header-only.
set(CMAKE_FIND_ROOT_PATH "${CMAKE_CURRENT_LIST_DIR}/zig")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Both targets are 64-bit; CMake cannot read it off a Mach-O test object.
set(CMAKE_SIZEOF_VOID_P 8)
