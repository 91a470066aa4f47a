# Builds the consumer program against an installed QueltBurner, the ways an outside project does,
# and runs what it built. Included by the scripts that check an installed prefix and the Debian
# package. Expects SOURCE_DIR (this folder), GENERATOR, CXX_COMPILER and VERSION (the project's).
cmake_minimum_required(VERSION 3.25)

function(run_step)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE Result OUTPUT_VARIABLE Out ERROR_VARIABLE Err)
    if(NOT Result EQUAL 0)
        message(FATAL_ERROR "step failed (${Result}): ${ARGN}\n${Out}\n${Err}")
    endif()
endfunction()

# Runs a built consumer program, which prints "consumer: ok" and exits 0 when the component behaved.
function(run_consumer program)
    execute_process(COMMAND ${ARGN} "${program}" RESULT_VARIABLE Result OUTPUT_VARIABLE Out
        ERROR_VARIABLE Err)
    message(STATUS "${program}: ${Out}${Err}")
    if(NOT Result EQUAL 0)
        message(FATAL_ERROR "the program ${program} failed (${Result})")
    endif()
endfunction()

# The CMake project in this folder, finding the package under PREFIX and nowhere else.
function(build_consumer_with_cmake prefix build_dir)
    run_step(${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${build_dir}" -G "${GENERATOR}"
        "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_PREFIX_PATH=${prefix}"
        -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF)
    run_step(${CMAKE_COMMAND} --build "${build_dir}")
    foreach(program consumer consumer_package)
        run_consumer("${build_dir}/${program}")
    endforeach()
endfunction()

# The Qt example (examples/qt-burner, in QT_BURNER_DIR) built on its own against the package under
# PREFIX, as an outside project builds it, with the Qt the project was configured with (QT6_DIR).
# Only built: its program opens a window.
function(build_qt_burner_with_cmake prefix build_dir)
    run_step(${CMAKE_COMMAND} -S "${QT_BURNER_DIR}" -B "${build_dir}" -G "${GENERATOR}"
        "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_PREFIX_PATH=${prefix}" "-DQt6_DIR=${QT6_DIR}"
        -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF)
    file(STRINGS "${build_dir}/CMakeCache.txt" Found REGEX "^QueltBurner_DIR:")
    string(FIND "${Found}" "=${prefix}/" At)
    if(At EQUAL -1)
        message(FATAL_ERROR "qt-burner found QueltBurner outside ${prefix}: ${Found}")
    endif()
    run_step(${CMAKE_COMMAND} --build "${build_dir}")
    if(NOT EXISTS "${build_dir}/qt-burner")
        message(FATAL_ERROR "the standalone build of qt-burner made no ${build_dir}/qt-burner")
    endif()
    message(STATUS "qt-burner built on its own against ${prefix}")
endfunction()

# main.cpp compiled by one compiler call with the flags of queltburner.pc (static libraries) and of
# queltburner-pack.pc (package and shared framework), found in PC_DIR alone.
function(build_consumer_with_pkg_config pc_dir lib_dir out_dir)
    find_program(PKG_CONFIG_EXECUTABLE NAMES pkg-config pkgconf)
    if(NOT PKG_CONFIG_EXECUTABLE)
        message(FATAL_ERROR "pkg-config is needed (scripts/deps.sh test installs pkgconf)")
    endif()
    set(PkgConfig ${CMAKE_COMMAND} -E env --unset=PKG_CONFIG_PATH "PKG_CONFIG_LIBDIR=${pc_dir}"
        ${PKG_CONFIG_EXECUTABLE})
    file(MAKE_DIRECTORY "${out_dir}")
    foreach(module queltburner queltburner-pack)
        execute_process(COMMAND ${PkgConfig} --modversion ${module} RESULT_VARIABLE Result
            OUTPUT_VARIABLE Found ERROR_VARIABLE Err OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT Result EQUAL 0 OR NOT Found STREQUAL VERSION)
            message(FATAL_ERROR "pkg-config finds ${module} version '${Found}', not ${VERSION}\n${Err}")
        endif()
        execute_process(COMMAND ${PkgConfig} --cflags --libs ${module} RESULT_VARIABLE Result
            OUTPUT_VARIABLE Flags OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT Result EQUAL 0)
            message(FATAL_ERROR "pkg-config --cflags --libs ${module} failed")
        endif()
        message(STATUS "pkg-config --cflags --libs ${module}: ${Flags}")
        separate_arguments(Flags UNIX_COMMAND "${Flags}")
        if(module STREQUAL "queltburner")
            set(Registered 1)
            set(Environment)
        else()
            # Nothing tells the loader where the prefix's shared libraries are but this.
            set(Registered 0)
            set(Environment ${CMAKE_COMMAND} -E env "LD_LIBRARY_PATH=${lib_dir}")
        endif()
        set(Program "${out_dir}/consumer-${module}")
        run_step("${CXX_COMPILER}" -std=c++20 -DQUELT_EXPECT_REGISTERED=${Registered}
            "${SOURCE_DIR}/main.cpp" ${Flags} -o "${Program}")
        run_consumer("${Program}" ${Environment})
    endforeach()
endfunction()

# Headers live in <include>/QueltBurner only: nothing of the package's lies loose in INCLUDE_DIR.
function(check_no_loose_headers include_dir)
    file(GLOB Loose LIST_DIRECTORIES false "${include_dir}/*")
    if(Loose)
        message(FATAL_ERROR "headers installed loose in ${include_dir}: ${Loose}")
    endif()
    if(NOT EXISTS "${include_dir}/QueltBurner/QueltBurner.hpp")
        message(FATAL_ERROR "QueltBurner.hpp is not in ${include_dir}/QueltBurner")
    endif()
endfunction()

# The default registry file an install writes: a registry export whose RegisteredTypesNeroPath,
# once its .reg escapes are undone, is the tool path expected.
function(check_default_registry file tool)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "no default registry file ${file}")
    endif()
    file(READ "${file}" Text)
    set(Key "\\[HKEY_CURRENT_USER\\\\Software\\\\ahead\\\\Nero - Burning Rom\\\\General\\]")
    if(NOT Text MATCHES "^Windows Registry Editor Version 5\\.00\n" OR NOT Text MATCHES "${Key}\n"
            OR NOT Text MATCHES "\n\"RegisteredTypesNeroPath\"=\"(([^\"\\\\]|\\\\.)*)\"\n")
        message(FATAL_ERROR "${file} does not set RegisteredTypesNeroPath:\n${Text}")
    endif()
    string(REGEX REPLACE "\\\\(.)" "\\1" Value "${CMAKE_MATCH_1}")
    if(NOT Value STREQUAL tool)
        message(FATAL_ERROR "${file} names the tool ${Value}, not ${tool}")
    endif()
endfunction()
