# Configures, builds and runs a small project that takes the library in with
# add_subdirectory and links it by its target name.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer/project -B ${WORK_DIR}
          -G ${GENERATOR} -DKSATFIT_DIR=${SOURCE_DIR} -DCMAKE_BUILD_TYPE=Release
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configuring the consumer project failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR} --target consumer
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "building the consumer project failed")
endif()
execute_process(COMMAND ${WORK_DIR}/consumer RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the consumer program failed: ${out}")
endif()
