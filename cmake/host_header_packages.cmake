# Header-only packages for a cross build. The build machine's packages
# (CLI11, nlohmann-json) hold only headers, which serve any target; but their
# CMake files point at the host's whole include directory, whose C library
# headers would shadow the target's. So each package's own header directory is
# linked into a directory of the build tree, and an imported target of the
# package's usual name gives that directory alone to the compiler.
#
#   ksatfit_host_header_package(CLI11::CLI11 CLI/CLI.hpp)
#
# defines the target if the host has the header; otherwise leaves it undefined.
function(ksatfit_host_header_package target header)
  string(MAKE_C_IDENTIFIER ${header} id)
  find_path(KSATFIT_HOST_INCLUDE_${id} ${header}
            PATHS /usr/include /usr/local/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  set(host_dir ${KSATFIT_HOST_INCLUDE_${id}})
  if(NOT host_dir)
    return()
  endif()
  string(REGEX MATCH "^[^/]+" top ${header})
  set(root ${PROJECT_BINARY_DIR}/host-headers)
  file(MAKE_DIRECTORY ${root})
  if(NOT EXISTS ${root}/${top})
    file(CREATE_LINK ${host_dir}/${top} ${root}/${top} SYMBOLIC)
  endif()
  add_library(${target} INTERFACE IMPORTED)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${root})
endfunction()
