# Cross-build for 32-bit Windows with Debian's mingw-w64 (posix threads). Used for the register reader program
# kopirko-kase.exe only (configure with -DKOPIRKO_KASE_HELPER_ONLY=ON): Windows' own Access driver, "Microsoft
# Access Driver (*.mdb)", exists for 32-bit programs only. It needs none of the cross-built dependencies.
# These machines run no 32-bit Windows programs (wine32 breaks wine64 here), so nothing built with this file
# is run: its 64-bit twin is what the tests run under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KOPIRKO_WIN_TRIPLET i686-w64-mingw32)

set(CMAKE_C_COMPILER ${KOPIRKO_WIN_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOPIRKO_WIN_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KOPIRKO_WIN_TRIPLET}-windres)
set(CMAKE_AR ${KOPIRKO_WIN_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${KOPIRKO_WIN_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${KOPIRKO_WIN_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
