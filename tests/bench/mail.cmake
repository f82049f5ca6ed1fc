# The mail check as the program makes it, against Dovecot. The tests are short smoke runs that
# report their numbers without judging them; run the full sizes by hand:
#   python3 tests/bench/newonly_vs_whole_walk.py --driver BUILD/tests/bench_mail_check_new_only
if(MOFURIN_BENCH)
    # A new-mail-only check of a mailbox with one new message against the whole walk.
    add_executable(bench_mail_check_new_only ${CMAKE_CURRENT_LIST_DIR}/mail/NewOnlyDriver.cpp)
    target_link_libraries(bench_mail_check_new_only PRIVATE mofurin_mail_core)
    add_test(NAME bench_mail_new_only_smoke
             COMMAND ${MOFURIN_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/newonly_vs_whole_walk.py
                     --driver $<TARGET_FILE:bench_mail_check_new_only> --messages 200 --runs 1)
    set_tests_properties(bench_mail_new_only_smoke PROPERTIES LABELS bench TIMEOUT 180)

endif()
