# Cross build for 32-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-i686).
# The "posix" flavour of the compiler provides std::thread; the project links
# its programs statically, so no MinGW DLL has to travel with them.
set(KSATFIT_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
