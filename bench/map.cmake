# Reading a large hand-made map: one list of tens of thousands of words.
add_executable(bench_map ${CMAKE_CURRENT_LIST_DIR}/bench_map.cpp)
target_link_libraries(bench_map PRIVATE tappy_content benchmark::benchmark)
