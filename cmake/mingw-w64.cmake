# Cross-compiling for 64-bit Windows with the mingw-w64 tool chain.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZAVE_MINGW_PREFIX x86_64-w64-mingw32)
# The POSIX thread model: the exchange workers use std::thread and std::mutex,
# which the win32 thread model of Debian's mingw-w64 does not provide.
set(CMAKE_C_COMPILER ${ZAVE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZAVE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZAVE_MINGW_PREFIX}-windres)

# Libraries built for Windows apart from the tool chain (GoogleTest, Qt) are
# found in the install prefixes listed in ZAVE_MINGW_PREFIXES.
set(ZAVE_MINGW_PREFIXES "" CACHE STRING "Install prefixes of libraries built for Windows")
set(CMAKE_FIND_ROOT_PATH /usr/${ZAVE_MINGW_PREFIX} ${ZAVE_MINGW_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
