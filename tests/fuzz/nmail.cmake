# libFuzzer targets for the POP3 reply parser (and the header decoder behind it) and the IMAP
# response reader.
if(MOFURIN_FUZZ)
    if(NOT TARGET mofurin_fuzzers)
        add_custom_target(mofurin_fuzzers)
    endif()
    # The library's sources are built into the fuzzer so that they carry its instrumentation.
    set(nmail_dir ${PROJECT_SOURCE_DIR}/nmail/src)
    set(target fuzz_nmail_ReplyParser)
    add_executable(${target} ${CMAKE_CURRENT_LIST_DIR}/nmail/ReplyParserFuzzer.cpp
                   ${nmail_dir}/ReplyParser.cpp ${nmail_dir}/MimeHeader.cpp
                   ${nmail_dir}/Cp932.cpp ${PROJECT_SOURCE_DIR}/codepage/src/CodePage.cpp)
    target_include_directories(${target} PRIVATE ${nmail_dir} ${PROJECT_SOURCE_DIR}/codepage/include)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${target} PRIVATE Qt6::Core)
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/corpus_${target})
    file(MAKE_DIRECTORY ${corpus})
    add_test(NAME ${target}
             COMMAND ${target} -max_total_time=20 -rss_limit_mb=2048
                     -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/${target}-
                     ${corpus} ${PROJECT_SOURCE_DIR}/tests/data/nmail)
    set_tests_properties(${target} PROPERTIES LABELS fuzz TIMEOUT 120)
    add_dependencies(mofurin_fuzzers ${target})

    # The IMAP response reader and mailbox names, seeded with what a real Dovecot sent
    # (imap_transcripts.py beside this file records it).
    set(target fuzz_nmail_ImapResponseReader)
    add_executable(${target} ${CMAKE_CURRENT_LIST_DIR}/nmail/ImapResponseReaderFuzzer.cpp
                   ${nmail_dir}/imap/ResponseReader.cpp ${nmail_dir}/imap/MailboxName.cpp)
    target_include_directories(${target} PRIVATE ${nmail_dir})
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${target} PRIVATE Qt6::Core)
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/corpus_${target})
    file(MAKE_DIRECTORY ${corpus})
    add_test(NAME ${target}
             COMMAND ${target} -max_total_time=20 -rss_limit_mb=2048
                     -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/${target}-
                     ${corpus} ${PROJECT_SOURCE_DIR}/tests/data/imap)
    set_tests_properties(${target} PROPERTIES LABELS fuzz TIMEOUT 120)
    add_dependencies(mofurin_fuzzers ${target})
endif()
