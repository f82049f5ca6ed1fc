# The translation catalogues are complete: every text of the sources is in them, translated, and
# nothing is left in them that the sources no longer have; every Japanese text written in the
# sources is in them too, unless its line says why it stays as it is.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/translated-sources.lst "")
foreach(source IN LISTS MOFURIN_TRANSLATED_SOURCES)
    file(APPEND ${CMAKE_CURRENT_BINARY_DIR}/translated-sources.lst "${source}\n")
endforeach()
set(ts_arguments "")
foreach(ts IN LISTS MOFURIN_TRANSLATION_FILES)
    list(APPEND ts_arguments --ts ${ts})
endforeach()
string(REPLACE ";" "," lupdate_options "${MOFURIN_LUPDATE_OPTIONS}")
add_test(NAME translations_complete
    COMMAND ${MOFURIN_PYTHON} ${MOFURIN_TEST_TOOLS}/check_translations.py
        --lupdate $<TARGET_FILE:Qt6::lupdate>
        "--options=${lupdate_options}"
        ${ts_arguments}
        --sources ${CMAKE_CURRENT_BINARY_DIR}/translated-sources.lst
        --work-dir ${CMAKE_CURRENT_BINARY_DIR}/translations-check)
set_tests_properties(translations_complete PROPERTIES LABELS unit TIMEOUT 120)
