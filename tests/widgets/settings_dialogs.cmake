mofurin_gtest(settings_dialogs_widgets_test LABEL widgets SERIAL
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings/DialogFixture.h
            ${CMAKE_CURRENT_LIST_DIR}/settings/OptionFormTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/settings/IdPassFormTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/settings/SetFormTest.cpp
    LIBS mofurin_settings_ui mofurin_settings mofurin_platform mofurin_menu mofurin_translations)
# The homepage test reads the page as the build installs it.
add_dependencies(settings_dialogs_widgets_test mofurin_homepage)
