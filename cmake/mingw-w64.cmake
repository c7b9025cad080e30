# Cross-compiles for 64-bit Windows with mingw-w64 (the posix-threads flavour,
# which std::thread and friends need).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TRIVEXA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TRIVEXA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRIVEXA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TRIVEXA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TRIVEXA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: the C++ runtime and winpthread are linked in, so
# only Windows' own DLLs are imported. No link time in the PE header: the
# same objects link to the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")

# Tests and test discovery run the .exe files under Wine, in a prefix of the
# build folder's own.
find_program(TRIVEXA_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT TRIVEXA_WINE64)
  find_program(TRIVEXA_WINE64 NAMES wine64 wine)
endif()
if(TRIVEXA_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${TRIVEXA_WINE64} ${CMAKE_BINARY_DIR}/wineprefix)
endif()
