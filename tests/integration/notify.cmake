# The desktop notification of new mail against python-dbusmock on a private D-Bus bus.
mofurin_gtest(notify_integration
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/notify/DesktopNotifierTest.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/DbusMockFixture.cpp
    LIBS mofurin_notifier mofurin_newmail nmail_internals Qt6::Test
    LABEL integration
    TIMEOUT 180)
target_compile_definitions(notify_integration PRIVATE
    MOFURIN_PYTHON="${MOFURIN_PYTHON}" MOFURIN_TEST_TOOLS="${MOFURIN_TEST_TOOLS}")
