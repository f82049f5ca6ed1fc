# The dial-up hang-up: the routine and its connection service. No widgets.
set(_mofurin_dialup_sources
    ${CMAKE_CURRENT_LIST_DIR}/DialUpHangUp.cpp ${CMAKE_CURRENT_LIST_DIR}/DialUpHangUp.h)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    list(APPEND _mofurin_dialup_sources
         ${PROJECT_SOURCE_DIR}/src/platform/NetworkManagerDialUp.cpp
         ${PROJECT_SOURCE_DIR}/src/platform/NetworkManagerDialUp.h)
endif()
mofurin_library(mofurin_dialup ${_mofurin_dialup_sources})
target_link_libraries(mofurin_dialup PUBLIC Qt6::Core Qt6::DBus)
