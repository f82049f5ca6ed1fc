# libFuzzer targets for the POP3 reply parser (and the header decoder behind it) and the IMAP
# response reader.
if(MOFURIN_FUZZ)
    set(nmail_dir ${PROJECT_SOURCE_DIR}/nmail/src)
    mofurin_fuzzer(fuzz_nmail_ReplyParser
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/nmail/ReplyParserFuzzer.cpp
                ${nmail_dir}/ReplyParser.cpp ${nmail_dir}/LineJoiner.cpp
                ${nmail_dir}/MimeHeader.cpp ${nmail_dir}/Cp932.cpp
                ${PROJECT_SOURCE_DIR}/codepage/src/CodePage.cpp
        INCLUDES ${nmail_dir} ${PROJECT_SOURCE_DIR}/codepage/include
        SEEDS ${PROJECT_SOURCE_DIR}/tests/data/nmail)
    # The IMAP response reader and mailbox names, seeded with what a real Dovecot sent
    # (imap_transcripts.py beside this file records it).
    mofurin_fuzzer(fuzz_nmail_ImapResponseReader
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/nmail/ImapResponseReaderFuzzer.cpp
                ${nmail_dir}/imap/ResponseReader.cpp ${nmail_dir}/imap/MailboxName.cpp
                ${nmail_dir}/LineJoiner.cpp
        INCLUDES ${nmail_dir}
        SEEDS ${PROJECT_SOURCE_DIR}/tests/data/imap)
endif()
