# CMake toolchain for 64-bit Windows with Debian's MinGW-w64 cross compiler,
# the POSIX-thread variant (std::thread, std::mutex need it).
# Used for the Windows dependencies and for the program itself.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER   ${QW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${QW_TRIPLET}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

# Libraries and headers for the target come from the sysroot and from the
# prefixes the caller adds to CMAKE_PREFIX_PATH (the dependency cache);
# programs (moc, rcc, nasm) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
