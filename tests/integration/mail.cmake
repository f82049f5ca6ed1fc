# The mail check with the real mail library against a real Dovecot.
mofurin_gtest(mail_dovecot_test LABEL integration TIMEOUT 180
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/mail/CheckMailDovecotTest.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/DovecotFixture.cpp
    LIBS mofurin_mail mofurin_mail_nmail nmail_internals)
# A desktop account's OAuth2 login against a real Dovecot that introspects bearer tokens.
mofurin_gtest(desktop_account_dovecot_test LABEL integration TIMEOUT 180
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/mail/DesktopAccountDovecotTest.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/DovecotFixture.cpp
    LIBS mofurin_mail_core mofurin_mail_nmail nmail_internals)
