# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix threads).
# KOPIRKO_WIN_PREFIX, when set, is where the cross-built dependencies (zlib, minizip, libdeflate, GoogleTest,
# Qt) were installed; it is searched before the compiler's own sysroot.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KOPIRKO_WIN_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KOPIRKO_WIN_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOPIRKO_WIN_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KOPIRKO_WIN_TRIPLET}-windres)
set(CMAKE_AR ${KOPIRKO_WIN_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${KOPIRKO_WIN_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

if(DEFINED ENV{KOPIRKO_WIN_PREFIX})
    set(KOPIRKO_WIN_PREFIX $ENV{KOPIRKO_WIN_PREFIX})
endif()
# KOPIRKO_WIN_QT_PREFIX, when set, is where Qt for Windows was installed (scripts/windows-package).
if(DEFINED ENV{KOPIRKO_WIN_QT_PREFIX})
    set(KOPIRKO_WIN_QT_PREFIX $ENV{KOPIRKO_WIN_QT_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH ${KOPIRKO_WIN_PREFIX} ${KOPIRKO_WIN_QT_PREFIX} /usr/${KOPIRKO_WIN_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the libraries built for Windows.
if(KOPIRKO_WIN_PREFIX)
    set(PKG_CONFIG_EXECUTABLE pkg-config CACHE FILEPATH "")
    set(ENV{PKG_CONFIG_LIBDIR} ${KOPIRKO_WIN_PREFIX}/lib/pkgconfig)
    set(ENV{PKG_CONFIG_PATH} "")
endif()

# Tests and helpers run under wine64 from the build folder.
# Debian keeps the 64-bit loader out of PATH (the "wine" command looks for a 32-bit one first).
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
