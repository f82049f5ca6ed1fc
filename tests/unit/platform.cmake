# Which platform plugin the program asks for, from the session's environment; one kitten per
# user.
mofurin_gtest(platform_unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform/DisplayPlatformTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/platform/SingleInstanceTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/platform/MailProgramTest.cpp
    LIBS mofurin_platform mofurin_translations
    LABEL unit)
