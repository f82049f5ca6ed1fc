mofurin_pytest(e2e_mascot ${CMAKE_CURRENT_LIST_DIR}/test_mascot.py LABEL e2e TIMEOUT 300)
mofurin_pytest(e2e_first_run ${CMAKE_CURRENT_LIST_DIR}/test_first_run.py LABEL e2e TIMEOUT 180)
mofurin_pytest(e2e_mail_check ${CMAKE_CURRENT_LIST_DIR}/test_mail_check.py LABEL e2e TIMEOUT 180)
mofurin_pytest(e2e_secure_login ${CMAKE_CURRENT_LIST_DIR}/test_secure_login.py LABEL e2e TIMEOUT 180)
