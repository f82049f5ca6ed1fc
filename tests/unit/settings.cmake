# GLib reads the autostart entry as the desktop does, to check the program's own reading.
pkg_check_modules(GLIB REQUIRED IMPORTED_TARGET glib-2.0)
mofurin_gtest(settings_test LABEL unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings/AutostartTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/settings/ProfileParserTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/settings/ProfileFileTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/settings/ServerFileTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/settings/SettingsPathsTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/settings/PasswordPlaceTest.cpp
    LIBS mofurin_settings PkgConfig::GLIB)
