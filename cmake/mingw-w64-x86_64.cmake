# Cross build for 64-bit Windows with MinGW-w64 (Debian's posix-thread flavour).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${_triple}-gcc-posix ${_triple}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${_triple}-g++-posix ${_triple}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${_triple}-windres windres REQUIRED)
find_program(CMAKE_ASM_NASM_COMPILER nasm)

# Cross-built libpng/libjpeg live in their own prefix (tools/deps.sh); it is a
# find root so find_package() sees them next to MinGW's own zlib.
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
if(DEFINED ENV{VISTREL_DEPS_PREFIX})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{VISTREL_DEPS_PREFIX})
endif()
if(VISTREL_DEPS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${VISTREL_DEPS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs the Windows test programs through Wine.
find_program(VISTREL_WINE NAMES wine wine64)
if(VISTREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VISTREL_WINE})
endif()

# zlib linked in: MinGW's import library would make vsr.exe need a zlib1.dll
# that Windows does not have (Wine happens to ship one).
set(ZLIB_USE_STATIC_LIBS ON)
