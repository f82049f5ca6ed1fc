# The network's return and the system's resume, from NetworkManager and logind on the system bus.
# No widgets.
mofurin_library(mofurin_connectivity
    ${CMAKE_CURRENT_LIST_DIR}/DBusConnectivityEvents.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DBusConnectivityEvents.h)
target_link_libraries(mofurin_connectivity PUBLIC Qt6::Core Qt6::DBus mofurin_services)
