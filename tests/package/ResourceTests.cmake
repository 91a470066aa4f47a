# The package's resources: the generated files decoded, on every platform; natively, the generator
# run on spoilt descriptions; on Windows, the resources and version block of the built package.
# Included from tests/CMakeLists.txt once quelt_add_package_resources() has run.

add_executable(quelt_package_resource_tests
    ${CMAKE_CURRENT_LIST_DIR}/ResourceGeneratorTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ResourcePicturesTest.cpp)
target_compile_definitions(quelt_package_resource_tests PRIVATE
    QUELT_PACKAGE_RESOURCE_DIR="${QUELT_PACKAGE_RESOURCE_DIR}")
if(NOT CMAKE_CROSSCOMPILING)
    # The generator runs on the build machine, which a cross build's tests do not.
    target_sources(quelt_package_resource_tests PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/ResourceGeneratorRunTest.cpp)
    target_compile_definitions(quelt_package_resource_tests PRIVATE
        QUELT_RESGEN_PATH="$<TARGET_FILE:quelt_resgen>"
        QUELT_PACKAGE_RESOURCE_SOURCE_DIR="${QUELT_PACKAGE_RESOURCE_SOURCE_DIR}")
endif()
target_link_libraries(quelt_package_resource_tests PRIVATE GTest::gtest_main quelt_build_flags)
add_dependencies(quelt_package_resource_tests quelt_package_resources)
quelt_add_gtest(quelt_package_resource_tests package-resources)

if(WIN32 AND TARGET QueltBurnerPack)
    add_executable(quelt_package_dll_tests
        ${CMAKE_CURRENT_LIST_DIR}/PackageResourcesTest.cpp
        ${CMAKE_CURRENT_LIST_DIR}/PackageVersionTest.cpp)
    target_compile_definitions(quelt_package_dll_tests PRIVATE
        QUELT_PACKAGE_RESOURCE_DIR="${QUELT_PACKAGE_RESOURCE_DIR}"
        QUELT_PACKAGE_PATH="$<TARGET_FILE:QueltBurnerPack>")
    target_link_libraries(quelt_package_dll_tests PRIVATE GTest::gtest_main quelt_build_flags
        version)
    add_dependencies(quelt_package_dll_tests QueltBurnerPack quelt_package_resources)
    quelt_add_gtest(quelt_package_dll_tests package-resources)
endif()
