# libFuzzer targets for the settings readers: the server file, the profile files and the
# autostart entry as the desktop reads it.
if(MOFURIN_FUZZ)
    if(NOT TARGET mofurin_fuzzers)
        add_custom_target(mofurin_fuzzers)
    endif()
    # The settings sources are built into each fuzzer so that they carry its coverage
    # instrumentation.
    set(settings_dir ${PROJECT_SOURCE_DIR}/src/settings)
    set(settings_sources
        ${settings_dir}/AtomicFile.cpp ${PROJECT_SOURCE_DIR}/codepage/src/CodePage.cpp
        ${PROJECT_SOURCE_DIR}/src/app/ProcessValues.cpp ${settings_dir}/ProfileParser.cpp
        ${settings_dir}/ServerFile.cpp ${settings_dir}/SettingsPaths.cpp
        ${settings_dir}/Autostart.cpp ${PROJECT_SOURCE_DIR}/src/platform/DesktopEntryReader.cpp)
    foreach(name ServerFile Profile DesktopEntry)
        set(target fuzz_settings_${name})
        add_executable(${target} ${CMAKE_CURRENT_LIST_DIR}/settings/${name}Fuzzer.cpp
                       ${settings_sources})
        target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src
                                   ${PROJECT_SOURCE_DIR}/codepage/include)
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_libraries(${target} PRIVATE mofurin_platform Qt6::Core)
        # New inputs go to a corpus in the build folder; the settings data files are the seeds.
        set(corpus ${CMAKE_CURRENT_BINARY_DIR}/corpus_${target})
        file(MAKE_DIRECTORY ${corpus})
        add_test(NAME ${target}
                 COMMAND ${target} -max_total_time=20 -rss_limit_mb=2048
                         -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/${target}-
                         ${corpus} ${PROJECT_SOURCE_DIR}/tests/data/settings)
        set_tests_properties(${target} PROPERTIES LABELS fuzz TIMEOUT 120)
        add_dependencies(mofurin_fuzzers ${target})
    endforeach()
endif()
