# What both MinGW-w64 toolchains share; each names its processor and its
# compilers' prefix (PURGA_MINGW) before including this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${PURGA_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PURGA_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${PURGA_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PURGA_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests of the cross build run under Wine (the 32-bit ones under its 32-bit
# support, in the same kind of prefix).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
