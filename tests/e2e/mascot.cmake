mofurin_pytest(e2e_mascot ${CMAKE_CURRENT_LIST_DIR}/test_mascot.py LABEL e2e TIMEOUT 300)
mofurin_pytest(e2e_first_run ${CMAKE_CURRENT_LIST_DIR}/test_first_run.py LABEL e2e TIMEOUT 180)
