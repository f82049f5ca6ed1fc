mofurin_gtest(mail_widgets_test LABEL widgets
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/mail/CheckMailTest.cpp ${CMAKE_CURRENT_LIST_DIR}/mail/MsgFormTest.cpp
    LIBS mofurin_mail)
