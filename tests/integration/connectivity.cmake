# The network's return and the system's resume from python-dbusmock's NetworkManager and logind
# on a private D-Bus bus.
mofurin_gtest(connectivity_integration
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/connectivity/DBusConnectivityEventsTest.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/DbusMockFixture.cpp
    LIBS mofurin_connectivity Qt6::DBus
    LABEL integration
    TIMEOUT 180)
target_compile_definitions(connectivity_integration PRIVATE
    MOFURIN_PYTHON="${MOFURIN_PYTHON}" MOFURIN_TEST_TOOLS="${MOFURIN_TEST_TOOLS}")
