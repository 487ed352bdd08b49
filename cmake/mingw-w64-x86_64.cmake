# Cross build of Quillmoor.DLL for 64-bit Windows with MinGW-w64 (posix
# threads flavour, for std::thread and std::mutex).
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# Debian packages: g++-mingw-w64-x86-64-posix, mingw-w64-tools (widl),
# libwine-dev (the Windows .idl files that widl imports).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLMOOR_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${QUILLMOOR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLMOOR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLMOOR_MINGW_TRIPLE}-windres)
set(QUILLMOOR_WIDL ${QUILLMOOR_MINGW_TRIPLE}-widl CACHE FILEPATH "IDL compiler")

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLMOOR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Everything the runtime needs goes into the DLL itself: no libgcc, libstdc++
# or winpthread DLL has to travel beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
