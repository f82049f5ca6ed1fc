# The translation catalogues are complete: every text of the sources is in them, translated, and
# nothing is left in them that the sources no longer have.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/translated-sources.lst "")
foreach(source IN LISTS MOFURIN_TRANSLATED_SOURCES)
    file(APPEND ${CMAKE_CURRENT_BINARY_DIR}/translated-sources.lst "${source}\n")
endforeach()
add_test(NAME translations_complete
    COMMAND ${CMAKE_COMMAND}
        -DLUPDATE=$<TARGET_FILE:Qt6::lupdate>
        "-DOPTIONS=${MOFURIN_LUPDATE_OPTIONS}"
        "-DTS_FILES=${MOFURIN_TRANSLATION_FILES}"
        -DSOURCE_LIST=${CMAKE_CURRENT_BINARY_DIR}/translated-sources.lst
        -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/translations-check
        -P ${MOFURIN_TEST_TOOLS}/CheckTranslations.cmake)
set_tests_properties(translations_complete PROPERTIES LABELS unit TIMEOUT 120)
