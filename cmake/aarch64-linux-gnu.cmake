# Cross build for 64-bit ARM Linux with Debian's cross compiler (g++-aarch64-linux-gnu),
# whose long double is not the x87 format: Extended is the software type there. Libraries
# come from Debian's arm64 packages (multiarch, /usr/lib/aarch64-linux-gnu); the programs
# and tests run under Debian's user-mode emulator.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# The cross toolchain's own root (C and C++ runtime) is the emulator's root. Its C library
# must be the one loaded: the arm64 packages bring Debian's own libc6:arm64 too, which the
# loader would otherwise find through the system's library cache, and a loader and C
# library of two builds hang in the first pthread_create. The arm64 packages' libraries
# (libcsv) come after it.
set(GENOSIEVE_CROSS_ROOT /usr/aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L ${GENOSIEVE_CROSS_ROOT}
    -E LD_LIBRARY_PATH=${GENOSIEVE_CROSS_ROOT}/lib:/usr/lib/aarch64-linux-gnu)
