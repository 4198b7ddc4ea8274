# Cross-building for 64-bit ARM (Raspberry Pi 4 and 5 with a 64-bit OS) on a Debian x86-64
# machine with the arm64 libraries installed through multiarch (./test --arm64 installs them):
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
# The programs and tests run here under qemu-user; binfmt need not be set up for that.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Multiarch keeps the arm64 libraries and their CMake packages under /usr/lib/aarch64-linux-gnu
# of this very system, so the system root stays /. Programs (Qt 5's moc, uic, rcc and lrelease,
# help2man, python3) are the machine's own.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# Every library at run time, the dynamic loader and the C library included, is the multiarch
# one (/lib/ld-linux-aarch64.so.1 and /lib/aarch64-linux-gnu), as on the Pi. The cross tool
# chain's own loader (under /usr/aarch64-linux-gnu) is built apart from the multiarch C library
# and does not fit it: with the two mixed, the first thread a program starts never runs.
find_program(ORBITRAK_QEMU_AARCH64 qemu-aarch64-static)
if(ORBITRAK_QEMU_AARCH64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ORBITRAK_QEMU_AARCH64} -L /)
endif()
