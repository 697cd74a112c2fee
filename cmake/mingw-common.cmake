# The MinGW-w64 cross toolchain for MINGW_PREFIX, run under MDR_WINE_LOADER. Its win32 thread
# model: the posix one links winpthreads into every program, which is built for Windows 7 and
# imports GetTickCount64; the win32 model's runtime asks kernel32 only for what Windows XP has.
# It has no std::mutex (common/lock.h has the lock the programs use).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${MDR_WINE_LOADER})
