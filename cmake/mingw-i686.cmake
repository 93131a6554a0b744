# Cross build of the shipped 32-bit saver (PE32, i386) for every processor
# Windows 95 runs on: i486 code, tuned for today's processors, linked with
# the run-time code that scripts/build-runtime.sh builds for the i486.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
# The win32 thread model, as the run-time code is built.
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_C_FLAGS_INIT "-march=i486 -mtune=generic")
set(CMAKE_CXX_FLAGS_INIT "-march=i486 -mtune=generic")
# Start-up files and libraries from there come before the compiler's own.
get_filename_component(VISTEL_RUNTIME_DIR "${CMAKE_CURRENT_LIST_DIR}/../build/runtime-i486" ABSOLUTE)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-B${VISTEL_RUNTIME_DIR}/ -L${VISTEL_RUNTIME_DIR}")
