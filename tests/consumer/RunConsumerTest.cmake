# Installs the built project into a fresh prefix, then configures, builds and runs the consumer
# project against that prefix alone.
file(REMOVE_RECURSE "${WORK_DIR}")
set(PREFIX "${WORK_DIR}/prefix")

function(run_step)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE Result OUTPUT_VARIABLE Out ERROR_VARIABLE Err)
    if(NOT Result EQUAL 0)
        message(FATAL_ERROR "step failed (${Result}): ${ARGN}\n${Out}\n${Err}")
    endif()
endfunction()

run_step(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}")
run_step(${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}/build" -G "${GENERATOR}"
    "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_PREFIX_PATH=${PREFIX}"
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF)
run_step(${CMAKE_COMMAND} --build "${WORK_DIR}/build")
execute_process(COMMAND "${WORK_DIR}/build/consumer" RESULT_VARIABLE Result OUTPUT_VARIABLE Out)
message(STATUS "${Out}")
if(NOT Result EQUAL 0)
    message(FATAL_ERROR "the consumer program failed")
endif()
