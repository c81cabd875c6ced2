# Cross build of the Windows executables with Debian's mingw-w64 (posix
# thread model, so that std::thread and the C++ runtime's own locks work),
# for 64-bit Windows. Used by the `windows` preset.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUANDRIX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUANDRIX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUANDRIX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUANDRIX_MINGW_PREFIX}-windres)

# Headers and libraries come from the mingw-w64 tree only; programs (ninja,
# windres) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QUANDRIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine runs what the build makes, where a build step or a test needs it.
find_program(QUANDRIX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(QUANDRIX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUANDRIX_WINE})
endif()
