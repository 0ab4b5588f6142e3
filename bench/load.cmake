# Loading a parent's photo folder: 300 full-HD JPEG photos and a 300-record map. The benchmark
# makes its own pictures with SDL2_image, so it links it directly.
add_executable(bench_load ${CMAKE_CURRENT_LIST_DIR}/bench_load.cpp)
target_link_libraries(bench_load PRIVATE tappy_content SDL2_image::SDL2_image SDL2::SDL2
                                         benchmark::benchmark)
