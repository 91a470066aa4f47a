target_sources(QueltBurnerUnit PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Win32HostServices.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ToolCreation.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ToolWatch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ComObjects.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ImapiDisc.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ImapiMedia.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MappedDrives.cpp)
# COM and OLE Automation, for the disc queries through IMAPI2: every library and package that
# carries the unit links them.
set(QUELT_PLATFORM_LIBRARIES ole32 oleaut32 uuid CACHE INTERNAL
    "System libraries of the component's Windows host")
