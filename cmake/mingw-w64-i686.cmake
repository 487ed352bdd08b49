# Cross build of the 32-bit Quillmoor.DLL, for 32-bit host programs, with
# MinGW-w64 (posix threads flavour).
#
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
#
# Debian packages: g++-mingw-w64-i686-posix, mingw-w64-tools (widl),
# libwine-dev (the Windows .idl files that widl imports).

set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUILLMOOR_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
