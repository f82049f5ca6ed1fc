mofurin_gtest(mail_trimnull_test LABEL unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/mail/TrimNullTest.cpp
    LIBS mofurin_mail)
