# The files the desktop and the software centre read, checked by their own validators.
add_test(NAME desktop_file_validate
         COMMAND desktop-file-validate ${PROJECT_SOURCE_DIR}/resources/mofurin.desktop)
add_test(NAME appstream_validate
         COMMAND appstreamcli validate --no-net ${PROJECT_SOURCE_DIR}/resources/mofurin.metainfo.xml)
set_tests_properties(desktop_file_validate appstream_validate PROPERTIES LABELS unit TIMEOUT 60)

# Installs the Debian package into this machine, runs it as a normal user and removes it: root
# only, alone (it changes the system every other test runs on).
mofurin_pytest(e2e_package ${CMAKE_CURRENT_LIST_DIR}/test_package.py LABEL e2e SERIAL TIMEOUT 300)
