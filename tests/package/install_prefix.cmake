# Installs the build tree BUILD_DIR into a fresh PREFIX, as a user would.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                        --config ${CONFIG}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install into ${PREFIX} failed")
endif()
