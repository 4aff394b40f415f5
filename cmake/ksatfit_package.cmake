# ---------------------------------------------------------------------------
# The installable package for other programs: `cmake --install` puts the
# static library in lib/, the public headers in include/, a CMake package
# (find_package(ksatfit CONFIG) gives the target ksatfit::ksatfit) and
# ksatfit.pc for pkg-config. Included by the top-level CMakeLists.txt once the
# target ksatfit exists.
# ---------------------------------------------------------------------------
option(KSATFIT_INSTALL "Generate the install rules" ${PROJECT_IS_TOP_LEVEL})
if(NOT KSATFIT_INSTALL)
  return()
endif()

include(CMakePackageConfigHelpers)
set(ksatfit_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/ksatfit)
set(ksatfit_pkgconfig_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS ksatfit EXPORT ksatfitTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        COMPONENT development)
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        COMPONENT development)
install(EXPORT ksatfitTargets NAMESPACE ksatfit:: DESTINATION ${ksatfit_cmake_dir}
        COMPONENT development)

configure_package_config_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/ksatfitConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ksatfitConfig.cmake INSTALL_DESTINATION ${ksatfit_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ksatfitConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ksatfitConfig.cmake
              ${PROJECT_BINARY_DIR}/ksatfitConfigVersion.cmake
        DESTINATION ${ksatfit_cmake_dir} COMPONENT development)

# ksatfit.pc finds the prefix from its own place, so the installed tree may
# be moved (or installed with --prefix or DESTDIR). A C or Fortran program
# links the C++ run time, the math library and the thread library itself:
# --libs names them, since there is no shared library to bring them along.
file(RELATIVE_PATH ksatfit_pc_to_prefix /prefix/${ksatfit_pkgconfig_dir} /prefix)
string(REGEX REPLACE "/$" "" ksatfit_pc_to_prefix "${ksatfit_pc_to_prefix}")
set(ksatfit_pc_libs "${CMAKE_THREAD_LIBS_INIT} -lstdc++ -lm")
if(KSATFIT_SANITIZE)
  string(PREPEND ksatfit_pc_libs "-fsanitize=address,undefined ")
endif()
string(STRIP "${ksatfit_pc_libs}" ksatfit_pc_libs)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/ksatfit.pc.in ${PROJECT_BINARY_DIR}/ksatfit.pc
               @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/ksatfit.pc DESTINATION ${ksatfit_pkgconfig_dir}
        COMPONENT development)
