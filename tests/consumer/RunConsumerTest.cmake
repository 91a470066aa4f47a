# Installs the built project into a fresh prefix, then builds the consumer program against that
# prefix alone, through the CMake package and through pkg-config, and runs it; where Qt 6 Widgets
# was found (QT_BURNER_DIR set), builds the Qt example on its own against the same prefix.
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

# The install's default registry file names the burning tool at its place in this prefix, and a
# component created without QUELT_REGISTRY or a user file finds the tool through it. Until the
# recorder is installed there, the stand-in takes its place.
set(Tool "${PREFIX}/${LIBEXECDIR}/queltburner/NeroCmd.exe")
check_default_registry("${PREFIX}/${SYSCONFDIR}/xdg/QueltBurner/user.reg" "${Tool}")
if(NOT EXISTS "${Tool}")
    file(COPY_FILE "${PREFIX}/libexec/queltburner/standin/NeroCmd.exe" "${Tool}")
endif()
file(WRITE "${WORK_DIR}/notes.txt" "notes\n")
file(MAKE_DIRECTORY "${WORK_DIR}/config-home")
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=QUELT_REGISTRY
        "XDG_CONFIG_HOME=${WORK_DIR}/config-home" "XDG_CONFIG_DIRS=${PREFIX}/${SYSCONFDIR}/xdg"
        "QUELT_DRIVES=E=${WORK_DIR}/disc.iso"
        "${PREFIX}/bin/queltburn" data E "${WORK_DIR}/notes.txt" --print-command
    RESULT_VARIABLE Result OUTPUT_VARIABLE Out ERROR_VARIABLE Err)
if(NOT Result EQUAL 0 OR NOT Out MATCHES "^command: ([^\n]*)")
    message(FATAL_ERROR "queltburn data E notes.txt --print-command (${Result}):\n${Out}${Err}")
endif()
string(FIND "${CMAKE_MATCH_1}" "${Tool} " At)
if(NOT At EQUAL 0)
    message(FATAL_ERROR "the installed queltburn did not find ${Tool} by default:\n${Out}")
endif()

build_consumer_with_cmake("${PREFIX}" "${WORK_DIR}/build")
if(QT_BURNER_DIR)
    build_qt_burner_with_cmake("${PREFIX}" "${WORK_DIR}/qt-burner")
endif()
build_consumer_with_pkg_config("${PREFIX}/${LIBDIR}/pkgconfig" "${PREFIX}/${LIBDIR}"
    "${WORK_DIR}/pkg-config")

# The installed design host loads the installed package and finds the component on its page.
file(GLOB Packages "${PREFIX}/${LIBDIR}/libQueltBurnerPack.so")
execute_process(COMMAND "${PREFIX}/bin/quelt_design_host" ${Packages}
    RESULT_VARIABLE Result OUTPUT_VARIABLE Out ERROR_VARIABLE Err)
message(STATUS "quelt_design_host: ${Out}${Err}")
if(NOT Result EQUAL 0 OR NOT Out MATCHES "Quelt Soft: TQueltBurner")
    message(FATAL_ERROR "the installed design host did not list the installed package")
endif()
