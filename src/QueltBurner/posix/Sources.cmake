# The drive map is a library of its own (src/DriveMap), shared with the recorder: the unit sees its
# header, and the component's libraries carry its objects.
target_include_directories(QueltBurnerUnit PRIVATE
    $<TARGET_PROPERTY:QueltDriveMap,INTERFACE_INCLUDE_DIRECTORIES>)
target_sources(QueltBurnerUnit PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/PosixHostServices.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RegistryFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RegistrySearch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProcessLauncher.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ToolRun.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RunWord.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ToolWaiter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WaiterProcess.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlainRun.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ToolWatch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ToolIdentity.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DiscQueries.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DriveFacts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MappedDrives.cpp)
# The registry file the install puts under its configuration folder (see the root CMakeLists.txt):
# the host's last fallback, found even when XDG_CONFIG_DIRS leaves that folder out.
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/PosixHostServices.cpp APPEND PROPERTY
    COMPILE_DEFINITIONS
    QUELT_INSTALLED_REGISTRY_FILE="${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/QueltBurner/user.reg")
