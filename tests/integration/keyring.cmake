# The secret store and the password's moves against a real GNOME Keyring on a private D-Bus bus
# (keyring_fixture.py): one run with the keyring on the bus, one with no secret service at all.
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0)
mofurin_gtest(keyring_integration LABEL integration TIMEOUT 120
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/keyring/KeyringTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/keyring/SessionBusExit.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/DbusMockFixture.cpp
    LIBS mofurin_secretstore mofurin_settings PkgConfig::GIO)
target_compile_definitions(keyring_integration PRIVATE
    MOFURIN_PYTHON="${MOFURIN_PYTHON}" MOFURIN_TEST_TOOLS="${MOFURIN_TEST_TOOLS}")
