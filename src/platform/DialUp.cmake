# The machine's dial-up connections: NetworkManager on Linux, none elsewhere. No widgets.
set(_mofurin_dialup_sources
    ${CMAKE_CURRENT_LIST_DIR}/DialUpService.cpp ${CMAKE_CURRENT_LIST_DIR}/DialUpService.h)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    list(APPEND _mofurin_dialup_sources
         ${CMAKE_CURRENT_LIST_DIR}/NetworkManagerDialUp.cpp
         ${CMAKE_CURRENT_LIST_DIR}/NetworkManagerDialUp.h)
endif()
mofurin_library(mofurin_dialup_service ${_mofurin_dialup_sources})
target_link_libraries(mofurin_dialup_service PUBLIC Qt6::Core Qt6::DBus mofurin_services)
