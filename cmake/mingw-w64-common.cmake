# Shared part of the MinGW-w64 toolchain files: compilers, search paths, and
# Wine as the emulator through which CTest runs the Windows test programs.
set(CMAKE_SYSTEM_NAME Windows)
if(KSATFIT_MINGW_TRIPLET MATCHES "^i686")
  set(CMAKE_SYSTEM_PROCESSOR i686)
else()
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
endif()

set(CMAKE_C_COMPILER ${KSATFIT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KSATFIT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KSATFIT_MINGW_TRIPLET}-windres)
# The Fortran compiler, where it is installed: the package tests build a
# Fortran program against the installed library.
find_program(KSATFIT_MINGW_GFORTRAN ${KSATFIT_MINGW_TRIPLET}-gfortran-posix)
if(KSATFIT_MINGW_GFORTRAN)
  set(CMAKE_Fortran_COMPILER ${KSATFIT_MINGW_GFORTRAN})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${KSATFIT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every Windows program of the build, tests included, runs under Wine with a
# prefix of its own inside the build directory.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine-prefix)
