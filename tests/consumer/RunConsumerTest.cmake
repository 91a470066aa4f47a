# Installs the built project into a fresh prefix, then builds the consumer program against that
# prefix alone, through the CMake package and through pkg-config, and runs it.
include(${CMAKE_CURRENT_LIST_DIR}/ConsumerBuilds.cmake)
file(REMOVE_RECURSE "${WORK_DIR}")
set(PREFIX "${WORK_DIR}/prefix")

run_step(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}")
check_no_loose_headers("${PREFIX}/include")
# The stand-in only logs: it is installed where its folder says so, never as bin/NeroCmd.exe.
if(EXISTS "${PREFIX}/bin/NeroCmd.exe")
    message(FATAL_ERROR "the stand-in tool was installed as ${PREFIX}/bin/NeroCmd.exe")
endif()
if(NOT EXISTS "${PREFIX}/libexec/queltburner/standin/NeroCmd.exe")
    message(FATAL_ERROR "the stand-in tool is not at ${PREFIX}/libexec/queltburner/standin")
endif()
build_consumer_with_cmake("${PREFIX}" "${WORK_DIR}/build")
build_consumer_with_pkg_config("${PREFIX}/${LIBDIR}/pkgconfig" "${PREFIX}/${LIBDIR}"
    "${WORK_DIR}/pkg-config")

# The installed design host loads the installed package and finds the component on its page.
file(GLOB Packages "${PREFIX}/lib*/libQueltBurnerPack.so")
execute_process(COMMAND "${PREFIX}/bin/quelt_design_host" ${Packages}
    RESULT_VARIABLE Result OUTPUT_VARIABLE Out ERROR_VARIABLE Err)
message(STATUS "quelt_design_host: ${Out}${Err}")
if(NOT Result EQUAL 0 OR NOT Out MATCHES "Quelt Soft: TQueltBurner")
    message(FATAL_ERROR "the installed design host did not list the installed package")
endif()
