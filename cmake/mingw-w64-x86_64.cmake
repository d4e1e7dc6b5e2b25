# Cross toolchain for 64-bit Windows: mingw-w64 with POSIX threads (the C++
# runtime needs them for std::thread and friends). Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QXBASE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QXBASE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QXBASE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QXBASE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QXBASE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every executable goes through Wine; the wrapper gives it a private prefix
# under the build tree and finds the compiler's runtime DLLs.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
