mofurin_gtest(mascot_shapes_test LABEL unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/mascot/FrameRegionsTest.cpp
    LIBS mofurin_mascot_shapes mofurin_platform)
