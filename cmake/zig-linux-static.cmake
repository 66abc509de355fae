# The Linux binary that runs on any distribution: zig's musl C library and its
# libc++, linked statically, so the binary needs no shared library at all. musl
# rather than a static glibc: glibc would still load its name service and
# character set modules from the host, should anything call them, and they
# must be of its own version; musl loads nothing at run time.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include("${CMAKE_CURRENT_LIST_DIR}/zig.cmake")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
