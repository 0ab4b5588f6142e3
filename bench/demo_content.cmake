add_executable(bench_demo_content ${CMAKE_CURRENT_LIST_DIR}/bench_demo_content.cpp)
target_link_libraries(bench_demo_content PRIVATE tappy_content tappy_platform benchmark::benchmark)
target_compile_definitions(bench_demo_content PRIVATE TAPPY_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
