if(MOFURIN_BENCH)
    find_package(benchmark REQUIRED)
    add_executable(bench_frame_regions ${CMAKE_CURRENT_LIST_DIR}/FrameRegionsBench.cpp)
    target_link_libraries(bench_frame_regions PRIVATE mofurin_mascot_shapes benchmark::benchmark)
    # NaiveFrameShape.h, the pixel-by-pixel way, is shared with the unit tests.
    target_include_directories(bench_frame_regions PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    # A short run in the test suite keeps the benchmark building and working.
    add_test(NAME bench_frame_regions_smoke
             COMMAND bench_frame_regions --benchmark_min_time=0.01)
    set_tests_properties(bench_frame_regions_smoke PROPERTIES LABELS bench TIMEOUT 120
                         ENVIRONMENT QT_QPA_PLATFORM=offscreen)
endif()
