# Installs the build into a scratch prefix and makes its package, and checks
# that each holds what it should.
#   cmake -DSOURCE_DIR=... -DBUILD_DIR=... -DWORK_DIR=... -DCPACK=... -DLIB_DIR=lib
#         -DDOCUMENT_DIR=share/doc/ksatfit -DWINDOWS=0|1 -DPROGRAMS="ksatcubic.exe;..." -P check_layout.cmake
file(REMOVE_RECURSE ${WORK_DIR})

function(expect_files what actual expected)
  list(SORT actual)
  list(SORT expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}:\n  has       ${actual}\n  should be ${expected}")
  endif()
  list(JOIN actual "\n  " listed)
  message(STATUS "${what}:\n  ${listed}")
endfunction()

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
                OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
set(programs ${PROGRAMS})
list(TRANSFORM programs PREPEND bin/)
set(documents ${DOCUMENT_DIR}/README.md)
if(WINDOWS)
  list(APPEND documents ${DOCUMENT_DIR}/LABORATORY.txt)
endif()
# The README's pages, under docs/ beside it.
file(GLOB pages RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/docs/*.md)
list(TRANSFORM pages PREPEND ${DOCUMENT_DIR}/)
list(APPEND documents ${pages})
list(TRANSFORM documents REPLACE "^\\./" "")
set(library ${LIB_DIR}/libksatfit.a)
file(GLOB_RECURSE headers RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/include/*)
foreach(file ${programs} ${documents} ${library} ${headers})
  if(NOT EXISTS ${WORK_DIR}/prefix/${file})
    message(FATAL_ERROR "cmake --install did not install ${file}")
  endif()
endforeach()

# The package holds the programs and the documents only.
execute_process(COMMAND ${CPACK} --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/package
                OUTPUT_VARIABLE log RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${log}")
endif()
file(GLOB archives ${WORK_DIR}/package/ksatfit-*.zip ${WORK_DIR}/package/ksatfit-*.tar.gz)
list(LENGTH archives count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "cpack made ${count} archives instead of one: ${archives}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${archives} OUTPUT_VARIABLE listing
                RESULT_VARIABLE rc)
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" entries "${listing}")
list(FILTER entries EXCLUDE REGEX "/$")
get_filename_component(archive ${archives} NAME)
expect_files(${archive} "${entries}" "${programs};${documents}")
