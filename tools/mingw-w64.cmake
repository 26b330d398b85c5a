# Cross build for 64-bit Windows with Debian's MinGW-w64 compiler. The posix thread
# model of g++ is the one with std::thread. Libraries come from the compiler's own
# tree (zlib) and from build/windows-deps (minizip, GoogleTest), which
# tools/build-windows-deps.sh fills. Programs are linked statically, so they need no
# MinGW DLLs on the Windows machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CORVALIN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CORVALIN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CORVALIN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${CORVALIN_MINGW_TRIPLET}-windres)

get_filename_component(CORVALIN_WINDOWS_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build/windows-deps" ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH /usr/${CORVALIN_MINGW_TRIPLET} ${CORVALIN_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config looks only at the Windows libraries, never at the machine's own.
set(ENV{PKG_CONFIG_LIBDIR} "${CORVALIN_WINDOWS_DEPS}/lib/pkgconfig:/usr/${CORVALIN_MINGW_TRIPLET}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ZLIB_USE_STATIC_LIBS ON)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
