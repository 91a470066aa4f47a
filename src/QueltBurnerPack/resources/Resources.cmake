# The package's Windows resources, generated at build time from the descriptions in this folder by
# quelt_resgen. The generator runs on the build machine: a native build compiles it as an ordinary
# target; a cross build compiles it with the build machine's own compiler, so that generating the
# resources needs no emulator.
#
#   quelt_add_package_resources(<target>)
#
# writes the resources into ${CMAKE_BINARY_DIR}/package-resources (the cache variable
# QUELT_PACKAGE_RESOURCE_DIR), behind the target quelt_package_resources; on Windows it adds the
# generated QueltBurnerPack.rc to <target>, whose directory must have enabled the RC language.

set(QUELT_PACKAGE_RESOURCE_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR} CACHE INTERNAL
    "The package's resource descriptions")
set(QUELT_PACKAGE_RESOURCE_DIR ${CMAKE_BINARY_DIR}/package-resources CACHE INTERNAL
    "The package's generated resources")

function(quelt_add_package_resources target)
    set(src ${QUELT_PACKAGE_RESOURCE_SOURCE_DIR})
    set(out ${QUELT_PACKAGE_RESOURCE_DIR})
    set(tools ${CMAKE_BINARY_DIR}/host-tools)
    set(generator_sources
        ${src}/ResourceGenerator.cpp
        ${src}/PackageDescription.cpp
        ${src}/PictureDescription.cpp
        ${src}/DescriptionLines.cpp
        ${src}/PackageEncoders.cpp
        ${src}/ImageEncoders.cpp)
    set(generator_headers
        ${src}/ResourceDescriptions.hpp
        ${src}/DescriptionLines.hpp
        ${src}/ResourceEncoders.hpp)

    if(CMAKE_CROSSCOMPILING)
        # The toolchain file points find_program at the build machine's programs.
        find_program(QUELT_HOST_CXX NAMES c++ g++ REQUIRED)
        set(generator ${tools}/quelt_resgen)
        add_custom_command(OUTPUT ${generator}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${tools}
            COMMAND ${QUELT_HOST_CXX} -std=c++20 -O2
                -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion
                $<$<BOOL:${QUELT_WARNINGS_AS_ERRORS}>:-Werror>
                -o ${generator} ${generator_sources}
            DEPENDS ${generator_sources} ${generator_headers}
            COMMAND_EXPAND_LISTS
            COMMENT "Building quelt_resgen for the build machine"
            VERBATIM)
        set(generator_dependency ${generator})
    else()
        if(NOT TARGET quelt_resgen)
            add_executable(quelt_resgen ${generator_sources})
            set_target_properties(quelt_resgen PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${tools})
            if(TARGET quelt_build_flags)
                target_link_libraries(quelt_resgen PRIVATE quelt_build_flags)
            endif()
        endif()
        if(NOT TARGET quelt_image2png)
            # Shows the pictures to a person (scripts/resource-pngs.sh).
            add_executable(quelt_image2png ${src}/ImageToPng.cpp)
            set_target_properties(quelt_image2png PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${tools})
            if(TARGET quelt_build_flags)
                target_link_libraries(quelt_image2png PRIVATE quelt_build_flags)
            endif()
        endif()
        set(generator $<TARGET_FILE:quelt_resgen>)
        set(generator_dependency quelt_resgen)
    endif()

    set(outputs
        ${out}/DESCRIPTION.bin
        ${out}/PACKAGEINFO.bin
        ${out}/PACKAGEOPTIONS.bin
        ${out}/PLATFORMTARGETS.bin
        ${out}/TQUELTBURNER.bmp
        ${out}/MAINICON.ico)
    add_custom_command(OUTPUT ${outputs} ${out}/QueltBurnerPack.rc
        COMMAND ${generator} ${src} ${out}
        DEPENDS ${generator_dependency}
            ${src}/PackageInfo.txt ${src}/PaletteBitmap.txt ${src}/MainIcon.txt
        COMMENT "Generating the package's resources"
        VERBATIM)
    add_custom_target(quelt_package_resources DEPENDS ${outputs} ${out}/QueltBurnerPack.rc)

    if(WIN32)
        target_sources(${target} PRIVATE ${out}/QueltBurnerPack.rc)
        # The script names the other files; windres reports no dependencies of its own.
        set_source_files_properties(${out}/QueltBurnerPack.rc PROPERTIES
            GENERATED TRUE OBJECT_DEPENDS "${outputs}")
        add_dependencies(${target} quelt_package_resources)
    endif()
endfunction()
