# The mail library against a real Dovecot started by tests/support/dovecot_fixture.py.
mofurin_gtest(nmail_dovecot_test LABEL integration TIMEOUT 180
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/nmail/DovecotMailTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/nmail/DovecotImapTest.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/DovecotFixture.cpp
    LIBS nmail_internals)
