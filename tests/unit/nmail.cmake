mofurin_gtest(nmail_test LABEL unit
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/nmail/ReplyParserTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/nmail/HeaderTextTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/nmail/NMailSessionTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/nmail/HostLookupTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/nmail/ImapResponseReaderTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/nmail/ImapMailboxNameTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/nmail/SaslTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/nmail/ImapSessionTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/nmail/ScriptedServer.cpp
    LIBS nmail_internals mofurin_translations)
