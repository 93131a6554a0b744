# 32-bit x86 Linux programs from this x86-64 host (gcc-multilib), as 486 code
# like the shipped saver's; they run under qemu-i386-static.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i386)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -march=i486 -mtune=generic")
set(CMAKE_CXX_FLAGS_INIT "-m32 -march=i486 -mtune=generic")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386-static)
