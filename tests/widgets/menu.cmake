mofurin_gtest(menu_widgets_test LABEL widgets
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/menu/Form2Test.cpp
    LIBS mofurin_menu)
