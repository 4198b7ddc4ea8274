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
#
# The emulator starts through tools/emulator/emulator_launcher.cpp, built here for this machine:
# qemu-user 7.2 mishandles the process descriptors Qt's QProcess asks for, and the launcher makes
# Qt fall back to the way it starts programs on older kernels.
find_program(ORBITRAK_QEMU_AARCH64 qemu-aarch64-static)
find_program(ORBITRAK_HOST_CXX NAMES c++ g++)
if(ORBITRAK_QEMU_AARCH64 AND ORBITRAK_HOST_CXX)
    set(_orbitrak_launcher_source ${CMAKE_CURRENT_LIST_DIR}/../tools/emulator/emulator_launcher.cpp)
    set(_orbitrak_launcher ${CMAKE_BINARY_DIR}/host/orbitrak-emulator)
    if(NOT EXISTS ${_orbitrak_launcher} OR ${_orbitrak_launcher_source} IS_NEWER_THAN ${_orbitrak_launcher})
        file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/host)
        execute_process(COMMAND ${ORBITRAK_HOST_CXX} -std=c++17 -O2 -Wall -Wextra -o ${_orbitrak_launcher}
                                ${_orbitrak_launcher_source} RESULT_VARIABLE _orbitrak_failed)
        if(_orbitrak_failed)
            message(FATAL_ERROR "cannot build the emulator launcher for this machine")
        endif()
    endif()
    set(CMAKE_CROSSCOMPILING_EMULATOR ${_orbitrak_launcher} ${ORBITRAK_QEMU_AARCH64} -L /)
endif()
