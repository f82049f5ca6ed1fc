# The mail check as the program makes it, against Dovecot. The tests are short smoke runs that
# report the times without judging them; run the full sizes by hand:
#   python3 tests/bench/newonly_vs_whole_walk.py --driver BUILD/tests/bench_mail_check_new_only
#   BUILD/tests/bench_mail_check_thread 1000
if(MOFURIN_BENCH)
    # A new-mail-only check of a mailbox with one new message against the whole walk.
    add_executable(bench_mail_check_new_only ${CMAKE_CURRENT_LIST_DIR}/mail/NewOnlyDriver.cpp)
    target_link_libraries(bench_mail_check_new_only PRIVATE mofurin_mail_core mofurin_mail_nmail)
    add_test(NAME bench_mail_new_only_smoke
             COMMAND ${MOFURIN_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/newonly_vs_whole_walk.py
                     --driver $<TARGET_FILE:bench_mail_check_new_only> --messages 200 --runs 1)
    set_tests_properties(bench_mail_new_only_smoke PROPERTIES LABELS bench TIMEOUT 180)

    # The user-interface thread's longest stall and the memory a check takes on the side.
    add_executable(bench_mail_check_thread ${CMAKE_CURRENT_LIST_DIR}/mail/CheckThreadBench.cpp
                   ${MOFURIN_TEST_TOOLS}/DovecotFixture.cpp ${MOFURIN_TEST_TOOLS}/DovecotFixture.h)
    target_link_libraries(bench_mail_check_thread PRIVATE mofurin_mail_core mofurin_mail_nmail Qt6::Core)
    target_include_directories(bench_mail_check_thread PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(bench_mail_check_thread PRIVATE
                               MOFURIN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    add_test(NAME bench_mail_check_thread_smoke COMMAND bench_mail_check_thread 100)
    set_tests_properties(bench_mail_check_thread_smoke PROPERTIES LABELS bench TIMEOUT 180)
endif()

# Push on the real binary: delivery to notice, and the cost of idling. The test is a short
# smoke run; run tests/bench/push_latency.py by hand for 20 deliveries.
if(MOFURIN_BENCH)
    add_test(NAME bench_push_latency_smoke
             COMMAND ${MOFURIN_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/push_latency.py 3 3)
    set_tests_properties(bench_push_latency_smoke PROPERTIES LABELS bench TIMEOUT 240
        RUN_SERIAL TRUE
        ENVIRONMENT "MOFURIN_INSTALL_DIR=${MOFURIN_INSTALL_DIR};MOFURIN_BUILD_DIR=${CMAKE_BINARY_DIR};MOFURIN_SOURCE_DIR=${PROJECT_SOURCE_DIR};PYTHONPATH=${MOFURIN_TEST_TOOLS};PYTHONDONTWRITEBYTECODE=1")
endif()
