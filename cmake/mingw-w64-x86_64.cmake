# Cross build of the 64-bit Quillmoor.DLL with MinGW-w64 (posix threads
# flavour, for std::thread and std::mutex).
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# Debian packages: g++-mingw-w64-x86-64-posix, mingw-w64-tools (widl),
# libwine-dev (the Windows .idl files that widl imports).

set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLMOOR_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
