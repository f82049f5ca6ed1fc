# The mail check benchmark: a driver making one check through the NMail functions, timed
# against Python's poplib by mailcheck_vs_poplib.py. The test is a short smoke run; run the
# script by hand for the full 1,000-message mailbox.
if(MOFURIN_BENCH)
    add_executable(bench_nmail_check ${CMAKE_CURRENT_LIST_DIR}/nmail/MailCheckDriver.cpp)
    target_link_libraries(bench_nmail_check PRIVATE nmail)
    add_test(NAME bench_nmail_check_smoke
             COMMAND ${MOFURIN_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/mailcheck_vs_poplib.py
                     --driver $<TARGET_FILE:bench_nmail_check> --messages 50 --runs 1)
    set_tests_properties(bench_nmail_check_smoke PROPERTIES LABELS bench TIMEOUT 180)
endif()

# The IMAP check against Python's imaplib on a large mailbox with a few unseen messages; the
# test is a short smoke run, the full 10,000-message mailbox by hand.
if(MOFURIN_BENCH)
    add_executable(bench_nmail_imap_check ${CMAKE_CURRENT_LIST_DIR}/nmail/ImapCheckDriver.cpp)
    target_link_libraries(bench_nmail_imap_check PRIVATE nmail)
    add_test(NAME bench_nmail_imap_check_smoke
             COMMAND ${MOFURIN_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/imapcheck_vs_imaplib.py
                     --driver $<TARGET_FILE:bench_nmail_imap_check> --messages 200 --runs 1
                     --checks 1)
    set_tests_properties(bench_nmail_imap_check_smoke PROPERTIES LABELS bench TIMEOUT 180)
endif()
