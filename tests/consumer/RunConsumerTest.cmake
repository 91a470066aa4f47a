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
# The stand-in only logs: it is installed where its folder says so, never as bin/NeroCmd.exe.
if(EXISTS "${PREFIX}/bin/NeroCmd.exe")
    message(FATAL_ERROR "the stand-in tool was installed as ${PREFIX}/bin/NeroCmd.exe")
endif()
if(NOT EXISTS "${PREFIX}/libexec/queltburner/standin/NeroCmd.exe")
    message(FATAL_ERROR "the stand-in tool is not at ${PREFIX}/libexec/queltburner/standin")
endif()
run_step(${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}/build" -G "${GENERATOR}"
    "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_PREFIX_PATH=${PREFIX}"
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF)
run_step(${CMAKE_COMMAND} --build "${WORK_DIR}/build")
foreach(program consumer consumer_package)
    execute_process(COMMAND "${WORK_DIR}/build/${program}" RESULT_VARIABLE Result OUTPUT_VARIABLE Out)
    message(STATUS "${program}: ${Out}")
    if(NOT Result EQUAL 0)
        message(FATAL_ERROR "the program ${program} failed")
    endif()
endforeach()

# The installed design host loads the installed package and finds the component on its page.
file(GLOB Packages "${PREFIX}/lib*/libQueltBurnerPack.so")
execute_process(COMMAND "${PREFIX}/bin/quelt_design_host" ${Packages}
    RESULT_VARIABLE Result OUTPUT_VARIABLE Out ERROR_VARIABLE Err)
message(STATUS "quelt_design_host: ${Out}${Err}")
if(NOT Result EQUAL 0 OR NOT Out MATCHES "Quelt Soft: TQueltBurner")
    message(FATAL_ERROR "the installed design host did not list the installed package")
endif()
