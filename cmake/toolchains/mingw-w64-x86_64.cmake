# Cross build for 64-bit Windows with Debian's mingw-w64 (gcc, posix thread
# model: std::thread and std::mutex need it), run under Wine.
#   cmake -S <src> -B <build> -G Ninja -DCMAKE_TOOLCHAIN_FILE=<repo>/cmake/toolchains/mingw-w64-x86_64.cmake
# ctest runs every test executable through Wine; -DCORVANE_WINE=<path> picks
# another Wine, -DCMAKE_CROSSCOMPILING_EMULATOR=<runner> another runner.
# Packages: g++-mingw-w64-x86-64-posix, wine, wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_prefix}-windres)

# Headers and libraries come from the mingw sysroot only; programs run at
# build time (and Wine) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CXX_STANDARD 17 CACHE STRING "")
set(CMAKE_CXX_STANDARD_REQUIRED ON CACHE BOOL "")

# Every executable and DLL links libstdc++, libgcc and winpthread statically,
# so the plugin DLL and the test programs depend on system DLLs only and no
# mingw runtime DLL has to travel with them.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)

find_program(CORVANE_WINE NAMES wine wine64 DOC "Wine, to run Windows test programs on the build machine")
if(CORVANE_WINE AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CORVANE_WINE})
endif()
