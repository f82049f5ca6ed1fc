# The one code page 932 conversion that the settings files and the mail library share.
mofurin_gtest(codepage_test LABEL unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/codepage/CodePageTest.cpp
    LIBS mofurin_codepage)
