mofurin_gtest(mail_unit_test LABEL unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/mail/TrimNullTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/mail/ServerTrustTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/mail/MailCheckTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/mail/MailCheckRunnerTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/mail/NewMailTrackerTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/mail/NewMailLinesTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/mail/PushWatcherTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/nmail/ScriptedServer.cpp
    LIBS mofurin_mail_core mofurin_newmail mofurin_online_accounts)
# One test loads the mail module the build puts in the installation folder.
add_dependencies(mail_unit_test mofurin-mail)
