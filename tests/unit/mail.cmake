mofurin_gtest(mail_trimnull_test LABEL unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/mail/TrimNullTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/mail/NewMailTrackerTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/mail/NewMailLinesTest.cpp
    LIBS mofurin_mail mofurin_newmail)
