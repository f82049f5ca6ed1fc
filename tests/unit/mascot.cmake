mofurin_gtest(mascot_core_test LABEL unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/mascot/ScreenRuleTest.cpp ${CMAKE_CURRENT_LIST_DIR}/mascot/WaitTest.cpp
    LIBS mofurin_mascot_core)
