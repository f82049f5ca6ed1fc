mofurin_gtest(settings_test LABEL unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings/AutostartTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/settings/ProfileParserTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/settings/ProfileFileTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/settings/ServerFileTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/settings/SettingsPathsTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/settings/PasswordPlaceTest.cpp
    LIBS mofurin_settings)
