# libFuzzer targets for the settings readers: the server file, the profile files and the
# autostart entry as the desktop reads it; the settings data files are the seeds.
if(MOFURIN_FUZZ)
    set(settings_dir ${PROJECT_SOURCE_DIR}/src/settings)
    set(settings_sources
        ${settings_dir}/AtomicFile.cpp ${PROJECT_SOURCE_DIR}/codepage/src/CodePage.cpp
        ${PROJECT_SOURCE_DIR}/src/app/ProcessValues.cpp ${settings_dir}/ProfileParser.cpp
        ${settings_dir}/ServerFile.cpp ${settings_dir}/SettingsPaths.cpp
        ${settings_dir}/Autostart.cpp ${PROJECT_SOURCE_DIR}/src/platform/DesktopEntryReader.cpp)
    foreach(name ServerFile Profile DesktopEntry)
        mofurin_fuzzer(fuzz_settings_${name}
            SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings/${name}Fuzzer.cpp ${settings_sources}
            INCLUDES ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/codepage/include
            LIBS mofurin_platform
            SEEDS ${PROJECT_SOURCE_DIR}/tests/data/settings)
    endforeach()
endif()
