# Which platform plugin the program asks for, from the session's environment.
mofurin_gtest(platform_unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform/DisplayPlatformTest.cpp
    LIBS mofurin_platform
    LABEL unit)
