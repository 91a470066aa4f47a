# Makes the Debian package from the build with CPack and checks it as dpkg and a user would meet
# it: its files and links, its control fields, the install paths written into its programs and
# libraries; then, from a copy extracted into a folder (no root needed), builds the consumer
# program through the CMake package and through pkg-config and runs the packaged programs.
include(${CMAKE_CURRENT_LIST_DIR}/ConsumerBuilds.cmake)

set(Missing)
foreach(tool dpkg dpkg-deb dpkg-shlibdeps file readelf)
    string(MAKE_C_IDENTIFIER "Tool_${tool}" Variable)
    find_program(${Variable} ${tool})
    if(NOT ${Variable})
        list(APPEND Missing ${tool})
    endif()
endforeach()
if(Missing)
    list(JOIN Missing ", " Missing)
    message("debian_package skipped: ${Missing} not found (dpkg-dev, file and binutils provide them)")
    return()
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND ${Tool_dpkg} --print-architecture OUTPUT_VARIABLE Arch
    OUTPUT_STRIP_TRAILING_WHITESPACE)

# Only a build configured for /usr makes the package: another one would carry that prefix's paths.
if(NOT INSTALL_PREFIX STREQUAL "/usr")
    execute_process(COMMAND ${CPACK_COMMAND} -G DEB --config "${BUILD_DIR}/CPackConfig.cmake"
        -B "${WORK_DIR}/cpack" RESULT_VARIABLE Result OUTPUT_VARIABLE Out ERROR_VARIABLE Err)
    if(Result EQUAL 0 OR NOT "${Out}${Err}" MATCHES "configure it with -DCMAKE_INSTALL_PREFIX=/usr")
        message(FATAL_ERROR "cpack made a Debian package of a build for ${INSTALL_PREFIX}:\n${Out}${Err}")
    endif()
    message("debian_package skipped: the build is configured for ${INSTALL_PREFIX}, not /usr "
        "(cpack refused it, as it should)")
    return()
endif()
run_step(${CPACK_COMMAND} -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}/cpack")
set(Deb "${WORK_DIR}/cpack/queltburner_${VERSION}_${Arch}.deb")
if(NOT EXISTS "${Deb}")
    file(GLOB Made "${WORK_DIR}/cpack/*.deb")
    message(FATAL_ERROR "no ${Deb}; CPack made: ${Made}")
endif()

# --- The control fields --------------------------------------------------------------------------
function(control_field name expected)
    execute_process(COMMAND ${Tool_dpkg_deb} -f "${Deb}" ${name} OUTPUT_VARIABLE Value
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT Value STREQUAL expected)
        message(FATAL_ERROR "${name}: '${Value}', expected '${expected}'")
    endif()
endfunction()
control_field(Package queltburner)
control_field(Version ${VERSION})
control_field(Architecture ${Arch})

# Depends names the C and C++ runtimes the programs and shared libraries need, the burning libraries
# the recorder runs on (libisoburn, and libburn itself for audio CDs), the audio decoder and the
# sample-rate converter, its allocator (mimalloc), the programs it runs (vcdimager, genisoimage,
# cdrdao), and nothing that
# only the build machine has (GoogleTest, benchmark libraries, the project's own libraries).
execute_process(COMMAND ${Tool_dpkg_deb} -f "${Deb}" Depends OUTPUT_VARIABLE Depends
    OUTPUT_STRIP_TRAILING_WHITESPACE)
message(STATUS "Depends: ${Depends}")
string(REGEX REPLACE "\\([^)]*\\)" "" Names "${Depends}")
string(REGEX REPLACE "[,|]" ";" Names "${Names}")
list(TRANSFORM Names STRIP)
list(REMOVE_ITEM Names "")
foreach(name IN LISTS Names)
    if(NOT name MATCHES
       "^(libc6|libstdc\\+\\+6|libgcc-s1|libisoburn1|libburn4|libsndfile1|libsamplerate0|libmimalloc2.0|vcdimager|genisoimage|cdrdao)$")
        message(FATAL_ERROR "Depends names ${name}: ${Depends}")
    endif()
endforeach()
foreach(name libc6 libstdc++6 libisoburn1 libburn4 libsndfile1 libsamplerate0 libmimalloc2.0
        vcdimager genisoimage cdrdao)
    if(NOT name IN_LIST Names)
        message(FATAL_ERROR "Depends does not name ${name}: ${Depends}")
    endif()
endforeach()
# docs/package.md names the same packages, on its line that starts with "Its `Depends` field names".
file(STRINGS "${SOURCE_TREE}/docs/package.md" Stated REGEX "^Its `Depends` field names ")
string(REGEX MATCHALL "`[a-z0-9.+-]+`" Stated "${Stated}")
list(TRANSFORM Stated REPLACE "`" "")
list(REMOVE_ITEM Stated Depends)
list(SORT Stated)
set(Actual ${Names})
list(REMOVE_DUPLICATES Actual)
list(SORT Actual)
if(NOT Stated STREQUAL Actual)
    message(FATAL_ERROR "docs/package.md names the dependencies '${Stated}', the package '${Actual}'")
endif()

# --- The files -----------------------------------------------------------------------------------
execute_process(COMMAND ${Tool_dpkg_deb} -c "${Deb}" OUTPUT_VARIABLE Listing RESULT_VARIABLE Result)
if(NOT Result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -c failed")
endif()
string(REPLACE "\n" ";" Lines "${Listing}")
set(Entries)
set(Links)
foreach(line IN LISTS Lines)
    if(line MATCHES "^[^ ]+ +[^ ]+ +[0-9]+ +[^ ]+ +[^ ]+ +\\./(.*)$")
        set(entry "${CMAKE_MATCH_1}")
        if(entry MATCHES "^(.*) -> (.*)$")
            list(APPEND Links "${CMAKE_MATCH_1} -> ${CMAKE_MATCH_2}")
            set(entry "${CMAKE_MATCH_1}")
        endif()
        string(REGEX REPLACE "/$" "" entry "${entry}")
        if(NOT entry STREQUAL "")
            list(APPEND Entries "${entry}")
        endif()
    endif()
endforeach()

string(REGEX MATCH "^[0-9]+" Major "${VERSION}")
set(Lib usr/${LIBDIR})
# The libraries go to Debian's multiarch folder, as for every library package of /usr.
execute_process(COMMAND gcc -print-multiarch OUTPUT_VARIABLE Multiarch
    OUTPUT_STRIP_TRAILING_WHITESPACE)
if(Multiarch AND NOT LIBDIR STREQUAL "lib/${Multiarch}")
    message(FATAL_ERROR "the libraries go to usr/${LIBDIR}, not usr/lib/${Multiarch}")
endif()
set(Expected
    usr/include/QueltBurner/QueltBurner.hpp
    usr/include/QueltBurner/QueltBurnerHostServices.hpp
    usr/include/QueltBurner/QueltBurnerPack.hpp
    usr/include/QueltBurner/System.hpp
    usr/include/QueltBurner/System.Platform.hpp
    ${Lib}/libQueltBurner.a
    ${Lib}/libQueltBurnerSystem.a
    ${Lib}/cmake/QueltBurner/QueltBurnerConfig.cmake
    ${Lib}/cmake/QueltBurner/QueltBurnerConfigVersion.cmake
    ${Lib}/cmake/QueltBurner/QueltBurnerTargets.cmake
    ${Lib}/pkgconfig/queltburner.pc
    ${Lib}/pkgconfig/queltburner-pack.pc
    usr/libexec/queltburner/standin/NeroCmd.exe
    usr/libexec/queltburner/NeroCmd.exe
    usr/share/man/man1/queltburn.1
    usr/share/bash-completion/completions/queltburn
    usr/share/doc/queltburner/copyright
    etc/xdg/QueltBurner/user.reg)
set(ExpectedLinks)
foreach(library QueltBurnerSystem QueltBurnerPack)
    list(APPEND Expected ${Lib}/lib${library}.so.${VERSION})
    list(APPEND ExpectedLinks "${Lib}/lib${library}.so -> lib${library}.so.${Major}"
        "${Lib}/lib${library}.so.${Major} -> lib${library}.so.${VERSION}")
endforeach()
foreach(entry IN LISTS Expected)
    if(NOT entry IN_LIST Entries)
        message(FATAL_ERROR "the package lacks ${entry}; it holds:\n${Listing}")
    endif()
endforeach()
foreach(link IN LISTS ExpectedLinks)
    if(NOT link IN_LIST Links)
        message(FATAL_ERROR "the package lacks the link ${link}; it holds: ${Links}")
    endif()
endforeach()
foreach(entry IN LISTS Entries)
    if(NOT entry MATCHES "^usr(/|$)" AND NOT entry MATCHES "^etc(/xdg(/QueltBurner(/user\\.reg)?)?)?$")
        # Only the default registry file is configuration, in /etc as the prefix /usr has it.
        message(FATAL_ERROR "${entry} lies outside /usr")
    elseif(entry MATCHES "^usr/include/[^/]+$" AND NOT entry STREQUAL "usr/include/QueltBurner")
        message(FATAL_ERROR "${entry} lies loose in /usr/include")
    elseif(entry MATCHES "^usr/bin/." AND NOT entry MATCHES "^usr/bin/(queltburn|quelt_design_host)$")
        # Only the tools are installed programs; the stand-in stays out of the PATH, and no test
        # program is packed.
        message(FATAL_ERROR "the package installs the program ${entry}")
    endif()
endforeach()
foreach(program queltburn quelt_design_host)
    if(NOT usr/bin/${program} IN_LIST Entries)
        message(FATAL_ERROR "the package lacks usr/bin/${program}")
    endif()
endforeach()

# The default registry file is a conffile, so that dpkg keeps an administrator's edit of it.
execute_process(COMMAND ${Tool_dpkg_deb} -I "${Deb}" conffiles OUTPUT_VARIABLE Conffiles
    RESULT_VARIABLE Result)
string(REPLACE "\n" ";" Conffiles "${Conffiles}")
if(NOT Result EQUAL 0 OR NOT "/etc/xdg/QueltBurner/user.reg" IN_LIST Conffiles)
    message(FATAL_ERROR "the package's conffiles do not list /etc/xdg/QueltBurner/user.reg: ${Conffiles}")
endif()

# --- The extracted copy --------------------------------------------------------------------------
set(Root "${WORK_DIR}/root")
run_step(${Tool_dpkg_deb} -x "${Deb}" "${Root}")
check_no_loose_headers("${Root}/usr/include")
check_default_registry("${Root}/etc/xdg/QueltBurner/user.reg"
    "/usr/${LIBEXECDIR}/queltburner/NeroCmd.exe")
# The programs fall back on the registry file the package installs, not on another prefix's: with
# the XDG folders elsewhere, the last file queltburn tries is the one built into it.
find_program(Tool_strace strace)
if(Tool_strace)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=QUELT_REGISTRY
            "XDG_CONFIG_HOME=${WORK_DIR}/no-home" "XDG_CONFIG_DIRS=${WORK_DIR}/no-dirs"
            "QUELT_DRIVES=E=${WORK_DIR}/disc.iso"
            ${Tool_strace} -e trace=openat "${Root}/usr/bin/queltburn" eject E --print-command
        OUTPUT_QUIET ERROR_VARIABLE Trace)
    string(REGEX MATCHALL "\"[^\"]*/QueltBurner/user\\.reg\"" Tried "${Trace}")
    list(GET Tried -1 Fallback)
    if(NOT Fallback STREQUAL "\"/etc/xdg/QueltBurner/user.reg\"")
        message(FATAL_ERROR "queltburn falls back on ${Fallback}, not /etc/xdg/QueltBurner/user.reg")
    endif()
else()
    message(STATUS "strace not found: the built-in registry file was not checked")
endif()

# The libraries carry their SONAME, and nothing installed looks for libraries anywhere but beside
# itself ($ORIGIN): a path into the build folder would be searched on every user's machine.
foreach(file IN ITEMS usr/bin/queltburn usr/bin/quelt_design_host
        usr/libexec/queltburner/standin/NeroCmd.exe ${Lib}/libQueltBurnerSystem.so.${VERSION}
        ${Lib}/libQueltBurnerPack.so.${VERSION})
    execute_process(COMMAND ${Tool_readelf} -d "${Root}/${file}" OUTPUT_VARIABLE Dynamic
        RESULT_VARIABLE Result)
    if(NOT Result EQUAL 0)
        message(FATAL_ERROR "readelf -d ${file} failed")
    endif()
    string(REGEX MATCHALL "Library (runpath|rpath): \\[[^]]*\\]" Paths "${Dynamic}")
    foreach(path IN LISTS Paths)
        string(REGEX REPLACE "^[^[]*\\[(.*)\\]$" "\\1" path "${path}")
        string(REPLACE ":" ";" path "${path}")
        foreach(item IN LISTS path)
            if(NOT item MATCHES "^\\$ORIGIN(/|$)")
                message(FATAL_ERROR "${file} searches ${item} for libraries")
            endif()
        endforeach()
    endforeach()
    if(file MATCHES "lib([A-Za-z]+)\\.so\\.")
        if(NOT Dynamic MATCHES "Library soname: \\[lib${CMAKE_MATCH_1}\\.so\\.${Major}\\]")
            message(FATAL_ERROR "${file} has not the SONAME lib${CMAKE_MATCH_1}.so.${Major}")
        endif()
    endif()
endforeach()

build_consumer_with_cmake("${Root}/usr" "${WORK_DIR}/cmake-build")
build_consumer_with_pkg_config("${Root}/${Lib}/pkgconfig" "${Root}/${Lib}" "${WORK_DIR}/pkg-config")

# The packaged design host finds the packaged shared framework through its own RUNPATH.
execute_process(COMMAND "${Root}/usr/bin/quelt_design_host" "${Root}/${Lib}/libQueltBurnerPack.so"
    RESULT_VARIABLE Result OUTPUT_VARIABLE Out ERROR_VARIABLE Err)
if(NOT Result EQUAL 0 OR NOT Out MATCHES "Quelt Soft: TQueltBurner")
    message(FATAL_ERROR "the packaged design host did not list the packaged package:\n${Out}${Err}")
endif()

# The packaged command-line host runs, and writes a data disc through the packaged stand-in found
# through a registry file, as docs/recorder.md shows.
execute_process(COMMAND "${Root}/usr/bin/queltburn" --version RESULT_VARIABLE Result
    OUTPUT_VARIABLE Out ERROR_VARIABLE Err)
if(NOT Result EQUAL 0 OR NOT Out MATCHES "${VERSION}")
    message(FATAL_ERROR "queltburn --version (${Result}):\n${Out}${Err}")
endif()
file(WRITE "${WORK_DIR}/notes.txt" "notes\n")
file(WRITE "${WORK_DIR}/user.reg" "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\ahead\\Nero - Burning Rom\\General]\r\n"
    "\"RegisteredTypesNeroPath\"=\"${Root}/usr/libexec/queltburner/standin/NeroCmd.exe\"\r\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env "QUELT_REGISTRY=${WORK_DIR}/user.reg"
        "QUELT_DRIVES=E=${WORK_DIR}/disc.iso" "NEROCMD_LOG=${WORK_DIR}/nerocmd.log"
        "${Root}/usr/bin/queltburn" data E "${WORK_DIR}/notes.txt" --sync
    RESULT_VARIABLE Result OUTPUT_VARIABLE Out ERROR_VARIABLE Err)
message(STATUS "queltburn data E notes.txt --sync: ${Out}${Err}")
if(NOT Result EQUAL 0 OR NOT EXISTS "${WORK_DIR}/nerocmd.log")
    message(FATAL_ERROR "the packaged queltburn did not run the packaged stand-in (${Result})")
endif()
file(READ "${WORK_DIR}/nerocmd.log" Log)
if(NOT Log MATCHES "notes\\.txt")
    message(FATAL_ERROR "the stand-in's log does not name the file: ${Log}")
endif()
