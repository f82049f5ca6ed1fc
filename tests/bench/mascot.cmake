# The peer program of tests/bench/cpu_usage.py.
if(MOFURIN_BENCH)
    add_executable(bench_minimal_window ${CMAKE_CURRENT_LIST_DIR}/MinimalWindow.cpp)
    target_link_libraries(bench_minimal_window PRIVATE Qt6::Widgets)
endif()
