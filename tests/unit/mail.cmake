mofurin_gtest(mail_unit_test LABEL unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/mail/TrimNullTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/mail/ServerTrustTest.cpp
    LIBS mofurin_mail)
