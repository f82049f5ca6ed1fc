# The meow's start latency, measured from a recording of a private PulseAudio null sink.
if(MOFURIN_BENCH)
    add_executable(bench_sound_latency ${CMAKE_CURRENT_LIST_DIR}/sound/MeowLatency.cpp
                   ${MOFURIN_TEST_TOOLS}/PulseFixture.cpp ${MOFURIN_TEST_TOOLS}/PulseFixture.h)
    target_link_libraries(bench_sound_latency PRIVATE mofurin_sound mofurin_sound_output Qt6::Core)
    target_include_directories(bench_sound_latency PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(bench_sound_latency PRIVATE MOFURIN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    add_test(NAME bench_sound_latency COMMAND bench_sound_latency 5)
    set_tests_properties(bench_sound_latency PROPERTIES LABELS bench TIMEOUT 120 RUN_SERIAL TRUE)
endif()
