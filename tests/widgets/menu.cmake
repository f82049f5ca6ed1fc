mofurin_gtest(menu_widgets_test LABEL widgets
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/menu/Form2Test.cpp
    LIBS mofurin_menu)
# The homepage test opens the page in the installation folder, or the web address the build was
# given.
add_dependencies(menu_widgets_test mofurin_homepage)
target_compile_definitions(menu_widgets_test PRIVATE MOFURIN_HOMEPAGE_URL="${MOFURIN_HOMEPAGE_URL}")
