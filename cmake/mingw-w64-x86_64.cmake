# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix, the
# POSIX threads variant, so std::thread works) and runs what it builds under Wine:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Every program is linked statically, so a .exe needs no MinGW DLL beside it, under Wine or on
# a Windows machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(tessivor_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${tessivor_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${tessivor_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${tessivor_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${tessivor_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run through Wine (Debian's wine and wine64 packages); `wine` starts 64-bit programs.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    find_program(TESSIVOR_WINE wine)
    if(TESSIVOR_WINE)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSIVOR_WINE})
    endif()
endif()
