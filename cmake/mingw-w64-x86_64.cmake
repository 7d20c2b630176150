# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 compilers of the posix thread model
# (packages gcc-mingw-w64-x86-64-posix and g++-mingw-w64-x86-64-posix), whose std::thread the
# normalisation needs. tools/build-windows uses it:
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Libraries and headers come from the cross compiler's own tree only, never from the host's
# /usr/include or /usr/lib; programs (cpack, man) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes (libgcc, libstdc++) and winpthread are linked into the program, so that it
# runs on a bare Windows without the compiler's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
