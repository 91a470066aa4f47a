# Installs the built project into a fresh prefix and builds each example the documents quote
# (examples/first-burn, watched-burn, job-burn, form-settings) against that prefix alone, as a
# reader would, then runs them as the documents say: the burns through the installed recorder,
# found by the install's default registry file, onto virtual discs that isoinfo then reads back.
# Expects BUILD_DIR, EXAMPLES_DIR, WORK_DIR, GENERATOR, CXX_COMPILER and SYSCONFDIR.
cmake_minimum_required(VERSION 3.25)

function(run_step)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE Result OUTPUT_VARIABLE Out ERROR_VARIABLE Err)
    if(NOT Result EQUAL 0)
        message(FATAL_ERROR "step failed (${Result}): ${ARGN}\n${Out}\n${Err}")
    endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
set(Prefix "${WORK_DIR}/prefix")
run_step(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${Prefix}")
foreach(Example first-burn watched-burn job-burn form-settings)
    run_step(${CMAKE_COMMAND} -S "${EXAMPLES_DIR}/${Example}" -B "${WORK_DIR}/${Example}"
        -G "${GENERATOR}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_PREFIX_PATH=${Prefix}"
        -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF)
    run_step(${CMAKE_COMMAND} --build "${WORK_DIR}/${Example}")
endforeach()

# The sources the documents burn, named relative to the folder the program runs in.
file(WRITE "${WORK_DIR}/notes.txt" "notes\n")
file(WRITE "${WORK_DIR}/photos/beach.txt" "a photo\n")
file(MAKE_DIRECTORY "${WORK_DIR}/config-home")

# Runs an example in WORK_DIR with drive E mapped to DISC and only the prefix's registry file;
# sets Out to what it printed, and fails unless it exited with 0.
function(run_example example disc)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=QUELT_REGISTRY
            "XDG_CONFIG_HOME=${WORK_DIR}/config-home" "XDG_CONFIG_DIRS=${Prefix}/${SYSCONFDIR}/xdg"
            "QUELT_DRIVES=E=${WORK_DIR}/${disc}"
            "${WORK_DIR}/${example}/${example}" ${ARGN}
        WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE Result OUTPUT_VARIABLE Printed
        ERROR_VARIABLE Err)
    if(NOT Result EQUAL 0)
        message(FATAL_ERROR "${example} ${ARGN} failed (${Result}):\n${Printed}\n${Err}")
    endif()
    string(REPLACE "\r" "" Printed "${Printed}")
    set(Out "${Printed}" PARENT_SCOPE)
endfunction()

# What the Rock Ridge tree of a virtual disc holds must name every file that was burned.
function(check_disc disc)
    find_program(Isoinfo isoinfo REQUIRED)
    execute_process(COMMAND ${Isoinfo} -R -f -i "${WORK_DIR}/${disc}" RESULT_VARIABLE Result
        OUTPUT_VARIABLE Listing)
    if(NOT Result EQUAL 0)
        message(FATAL_ERROR "isoinfo cannot read ${disc} (${Result})")
    endif()
    foreach(File /notes.txt /photos/beach.txt)
        string(FIND "${Listing}" "${File}\n" At)
        if(At EQUAL -1)
            message(FATAL_ERROR "${disc} does not hold ${File}:\n${Listing}")
        endif()
    endforeach()
endfunction()

# A file's text must end the output (the burns print the tool's own lines before it).
function(expect_ending_with file)
    file(READ "${file}" Ending)
    string(LENGTH "${Ending}" Length)
    string(LENGTH "${Out}" OutLength)
    math(EXPR From "${OutLength} - ${Length}")
    if(From LESS 0)
        set(From 0)
    endif()
    string(SUBSTRING "${Out}" ${From} -1 Tail)
    if(NOT Tail STREQUAL Ending)
        message(FATAL_ERROR "the output does not end with ${file}:\n${Out}")
    endif()
endfunction()

run_example(first-burn first.iso notes.txt photos)
expect_ending_with("${EXAMPLES_DIR}/first-burn/output.txt")
check_disc(first.iso)

# The same program with the stand-in in the recorder's place, through a registry file of the
# user's, as docs/recorder.md shows it: the stand-in's own line and the program's are all it prints.
file(WRITE "${WORK_DIR}/config-home/QueltBurner/user.reg" "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_CURRENT_USER\\Software\\ahead\\Nero - Burning Rom\\General]\n"
    "\"RegisteredTypesNeroPath\"=\"${Prefix}/libexec/queltburner/standin/NeroCmd.exe\"\n")
run_example(first-burn standin.iso photos notes.txt)
file(READ "${EXAMPLES_DIR}/first-burn/standin-output.txt" Expected)
if(NOT Out STREQUAL Expected)
    message(FATAL_ERROR "first-burn with the stand-in printed:\n${Out}")
endif()
file(REMOVE "${WORK_DIR}/config-home/QueltBurner/user.reg")

run_example(watched-burn watched.iso notes.txt photos)
if(NOT Out MATCHES "\nwriting 100%\n" OR NOT Out MATCHES "\nresult 0: success\n$")
    message(FATAL_ERROR "watched-burn did not report its writing and result:\n${Out}")
endif()
check_disc(watched.iso)
# Its rule fires on a label the disc cannot hold: the burn is cancelled before the disc is written.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=QUELT_REGISTRY
        "XDG_CONFIG_HOME=${WORK_DIR}/config-home" "XDG_CONFIG_DIRS=${Prefix}/${SYSCONFDIR}/xdg"
        "QUELT_DRIVES=E=${WORK_DIR}/cut.iso"
        "${WORK_DIR}/watched-burn/watched-burn" --label "A LABEL FAR LONGER THAN A DISC HOLDS"
        notes.txt
    WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE Result OUTPUT_VARIABLE Out ERROR_VARIABLE Err)
if(NOT Result EQUAL 1 OR NOT Out MATCHES "\ncancelled: label cut to " OR
        NOT Out MATCHES "\nresult -4: " OR EXISTS "${WORK_DIR}/cut.iso")
    message(FATAL_ERROR "watched-burn did not cancel on a cut label (${Result}):\n${Out}\n${Err}")
endif()

# A job: an entry that does not exist is left out and named, the others are burned.
run_example(job-burn job.iso notes.txt missing.txt photos)
expect_ending_with("${EXAMPLES_DIR}/job-burn/output.txt")
check_disc(job.iso)

run_example(form-settings unused.iso "${EXAMPLES_DIR}/form-settings/settings.dfm")
file(READ "${EXAMPLES_DIR}/form-settings/output.txt" Whole)
if(NOT Out STREQUAL Whole)
    message(FATAL_ERROR "form-settings did not print output.txt:\n${Out}")
endif()
