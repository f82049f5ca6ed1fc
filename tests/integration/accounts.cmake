# The desktop's online accounts against a stand-in of the service on a private D-Bus bus.
mofurin_gtest(accounts_integration
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/accounts/OnlineAccountsTest.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/DbusMockFixture.cpp
    LIBS mofurin_online_accounts Qt6::Test
    LABEL integration
    TIMEOUT 180)
target_compile_definitions(accounts_integration PRIVATE
    MOFURIN_PYTHON="${MOFURIN_PYTHON}" MOFURIN_TEST_TOOLS="${MOFURIN_TEST_TOOLS}")
