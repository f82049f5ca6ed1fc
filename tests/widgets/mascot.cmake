mofurin_gtest(mascot_widgets_test LABEL widgets
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/mascot/Form1Test.cpp
    LIBS mofurin_mascot_ui)
