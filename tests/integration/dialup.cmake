# The NetworkManager dial-up backend against python-dbusmock on a private D-Bus bus.
mofurin_gtest(dialup_integration
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/dialup/NetworkManagerDialUpTest.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/DbusMockFixture.cpp
    LIBS mofurin_dialup Qt6::DBus
    LABEL integration
    TIMEOUT 180)
target_compile_definitions(dialup_integration PRIVATE
    MOFURIN_PYTHON="${MOFURIN_PYTHON}" MOFURIN_TEST_TOOLS="${MOFURIN_TEST_TOOLS}")
