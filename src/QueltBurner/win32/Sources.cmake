target_sources(QueltBurnerUnit PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Win32HostServices.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ToolWatch.cpp)
