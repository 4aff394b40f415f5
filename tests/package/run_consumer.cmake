# Builds a program against the library installed in PREFIX, the way another
# project would, runs it and compares its standard output with EXPECTED (a
# list of files, concatenated). The programs end with a fit that stops, so
# the exit status must be 1.
#   KIND=find_package: the CMake project in SOURCE_DIR, configured with
#     CMAKE_PREFIX_PATH=PREFIX (GENERATOR, CXX, TOOLCHAIN_FILE).
#   KIND=make: the Makefile in SOURCE_DIR, target PROGRAM, with
#     PKG_CONFIG_PATH=PKG_CONFIG_DIR (CC, FC, EXE).
# EMULATOR runs a cross-compiled program, which finds its compiler's DLLs in
# DLL_PATH (Windows paths) if it needs any; both are lists with | between
# their elements. MAKE_FLAGS are further arguments of make (variable
# settings). A tool that is missing skips the test with a message saying which.
string(REPLACE "|" ";" EMULATOR "${EMULATOR}")
string(REPLACE "|" ";" DLL_PATH "${DLL_PATH}")

function(skip why)
  message(STATUS "Skipped: ${why}")
endfunction()

function(check_run program)
  # gfortran buffers its own unit 6 apart from the library's standard
  # output; unbuffered, the lines of both come out in the order written.
  set(ENV{GFORTRAN_UNBUFFERED_PRECONNECTED} y)
  if(DLL_PATH)
    set(ENV{WINEPATH} "${DLL_PATH}")
  endif()
  execute_process(COMMAND ${EMULATOR} ${program} WORKING_DIRECTORY ${WORK_DIR}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(expected "")
  foreach(file IN LISTS EXPECTED)
    file(READ ${file} part)
    string(APPEND expected "${part}")
  endforeach()
  string(REPLACE "\r\n" "\n" out "${out}")
  message(STATUS "Output of ${program}:\n${out}")
  if(NOT out STREQUAL expected)
    message(FATAL_ERROR "standard output differs; expected:\n${expected}")
  endif()
  if(NOT rc EQUAL 1 OR NOT err STREQUAL "")
    message(FATAL_ERROR "expected exit status 1 and no standard error, got ${rc}: ${err}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
if(KIND STREQUAL "find_package")
  set(configure ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR} -G ${GENERATOR}
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=${PREFIX}
      -DCMAKE_CXX_COMPILER=${CXX})
  if(TOOLCHAIN_FILE)
    # A cross build looks for packages only under the target's root, so the
    # package's own directory is named.
    list(APPEND configure -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}
         -Dksatfit_DIR=${PREFIX}/lib/cmake/ksatfit)
  endif()
  execute_process(COMMAND ${configure} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "configuring the find_package consumer failed")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "building the find_package consumer failed")
  endif()
  check_run(${WORK_DIR}/consumer${EXE})
elseif(KIND STREQUAL "make")
  set(MAKE_name "make")
  set(PKG_CONFIG_name "pkg-config")
  set(CC_name "C compiler")
  set(FC_name "Fortran compiler (gfortran)")
  foreach(tool MAKE PKG_CONFIG CC FC)
    if(DEFINED ${tool} AND NOT ${tool})
      skip("no ${${tool}_name} on this machine, so ${PROGRAM} is not built")
      return()
    endif()
  endforeach()
  file(COPY ${SOURCE_DIR}/ DESTINATION ${WORK_DIR})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${PKG_CONFIG_DIR}
            ${PKG_CONFIG} --cflags --libs ksatfit
    OUTPUT_VARIABLE flags)
  message(STATUS "pkg-config --cflags --libs ksatfit: ${flags}")
  set(make ${MAKE} ${PROGRAM}${EXE} EXE=${EXE} ${MAKE_FLAGS})
  foreach(tool CC FC)
    if(DEFINED ${tool})
      list(APPEND make ${tool}=${${tool}})
    endif()
  endforeach()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${PKG_CONFIG_DIR} ${make}
                  WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "make ${PROGRAM} failed")
  endif()
  check_run(${WORK_DIR}/${PROGRAM}${EXE})
else()
  message(FATAL_ERROR "unknown KIND ${KIND}")
endif()
