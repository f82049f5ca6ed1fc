# Worst-case timings of the settings readers; the smoke run only checks that they run.
if(MOFURIN_BENCH)
    find_package(benchmark REQUIRED)
    add_executable(bench_settings ${CMAKE_CURRENT_LIST_DIR}/settings/SettingsBench.cpp)
    target_link_libraries(bench_settings PRIVATE mofurin_settings benchmark::benchmark)
    add_test(NAME bench_settings_smoke COMMAND bench_settings --benchmark_min_time=0.01)
    set_tests_properties(bench_settings_smoke PROPERTIES LABELS bench TIMEOUT 300)
endif()
