# Cross build for macOS with zig: the macOS C library headers and libc++ come
# with it. Its linker gives an arm64 binary the ad-hoc code signature an Apple
# silicon Mac requires before it runs one (an Intel Mac needs none, and gets none).
set(CMAKE_SYSTEM_NAME Darwin)
include("${CMAKE_CURRENT_LIST_DIR}/zig.cmake")
