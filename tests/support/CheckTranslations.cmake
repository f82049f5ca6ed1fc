# Runs lupdate over the program's sources into a copy of each catalogue. The copy must come out
# as the catalogue is (no text missing, none left over), lupdate must see every translated call,
# and no entry may be unfinished or empty.
file(MAKE_DIRECTORY ${WORK_DIR})
set(problems "")
foreach(ts IN LISTS TS_FILES)
    get_filename_component(name ${ts} NAME)
    set(copy ${WORK_DIR}/${name})
    file(COPY_FILE ${ts} ${copy})
    execute_process(COMMAND ${LUPDATE} ${OPTIONS} @${SOURCE_LIST} -ts ${copy}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        string(APPEND problems "${name}: lupdate failed (${rc}):\n${out}${err}\n")
        continue()
    endif()
    # A call lupdate cannot read ("Cannot invoke tr() like this") is a text never translated.
    if(err MATCHES "[Ww]arning|[Ee]rror")
        string(APPEND problems "${name}: lupdate warned:\n${err}\n")
    endif()
    file(READ ${ts} committed)
    file(READ ${copy} updated)
    if(NOT committed STREQUAL updated)
        string(APPEND problems "${name} is not up to date with the sources (texts added, changed "
                               "or removed): run `cmake --build <build> --target "
                               "update_translations`, translate, and commit it.\n${out}\n")
    endif()
    # Unfinished, vanished and obsolete entries all carry a type; a finished one has none.
    string(REGEX MATCHALL "type=\"[a-z]+\"" unfinished "${updated}")
    string(REGEX MATCHALL "<(translation|numerusform)( [^>]*)?></(translation|numerusform)>"
           empty "${updated}")
    list(LENGTH unfinished count)
    list(LENGTH empty emptyCount)
    if(count GREATER 0 OR emptyCount GREATER 0)
        string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation type=\"[a-z]+\""
               which "${updated}")
        string(REPLACE ";" "\n" which "${which}")
        string(APPEND problems "${name}: ${count} entries unfinished or left over, ${emptyCount} "
                               "empty:\n${which}\n")
    endif()
endforeach()
if(problems)
    message(FATAL_ERROR "${problems}")
endif()
message(STATUS "Translations complete: ${TS_FILES}")
