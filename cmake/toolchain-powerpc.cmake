# Cross build for the device: 32-bit big-endian PowerPC Linux, with Debian's
# powerpc-linux-gnu toolchain. Programs built here run through qemu-ppc
# (CTest, test discovery, and the tests' own runs of the tool).
#   cmake -S . -B build/ppc -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-powerpc.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)

set(TAVREL_TARGET_TRIPLET powerpc-linux-gnu)
set(TAVREL_TARGET_SYSROOT /usr/${TAVREL_TARGET_TRIPLET})

set(CMAKE_C_COMPILER ${TAVREL_TARGET_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${TAVREL_TARGET_TRIPLET}-g++)

# Libraries and packages come from the target's tree only, never the build
# machine's /usr/lib; header-only dependencies are handled in CMakeLists.txt.
set(CMAKE_FIND_ROOT_PATH ${TAVREL_TARGET_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L: the emulated loader finds the target's ld.so.1, libc and libstdc++.
find_program(TAVREL_QEMU_PPC qemu-ppc REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVREL_QEMU_PPC} -L ${TAVREL_TARGET_SYSROOT})
