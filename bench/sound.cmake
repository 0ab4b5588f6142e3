add_executable(bench_sound ${CMAKE_CURRENT_LIST_DIR}/bench_sound.cpp)
target_link_libraries(bench_sound PRIVATE tappy_sound benchmark::benchmark)
