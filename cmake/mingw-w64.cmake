# Cross-compiles the Windows console build with mingw-w64 on Linux and runs its programs under wine:
#   cmake --preset windows && cmake --build --preset windows && ctest --preset windows
# The programs are linked statically, so the .exe files need no DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(GLYPH_MINGW_TRIPLE x86_64-w64-mingw32)

# The posix flavour of the compiler has std::thread and std::mutex; gcc's win32 flavour lacks them.
find_program(CMAKE_C_COMPILER NAMES ${GLYPH_MINGW_TRIPLE}-gcc-posix ${GLYPH_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${GLYPH_MINGW_TRIPLE}-g++-posix ${GLYPH_MINGW_TRIPLE}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${GLYPH_MINGW_TRIPLE}-windres)

# Libraries, headers and packages come from the target's root only, programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${GLYPH_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests and test discovery run the programs under wine, through a script that keeps one wine
# server up between them.
find_program(GLYPH_WINE NAMES wine wine64 PATHS /usr/lib/wine)
if(GLYPH_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${GLYPH_WINE})
endif()
