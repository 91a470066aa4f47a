target_sources(QueltBurner PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Win32HostServices.cpp)
