target_sources(QueltBurnerUnit PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/PosixHostServices.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DriveMap.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RegistryFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ProcessLauncher.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ToolWaiter.cpp)
