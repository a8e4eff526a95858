# Cross-compiles stimloom for the desktop host: 32-bit Windows, with Debian's
# MinGW-w64 tool chain (package g++-mingw-w64-i686-win32).
#
# The compiler is named with its thread model, so that the update-alternatives
# choice between i686-w64-mingw32-g++-posix and -win32 on the machine does not
# matter. The win32 model needs no threading library at run time; stimloom
# starts no threads.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(STIMLOOM_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${STIMLOOM_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${STIMLOOM_MINGW_PREFIX}-g++-win32)
set(CMAKE_OBJDUMP ${STIMLOOM_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${STIMLOOM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
