# One paint at full-HD and 4K with a small picture and a large photo, warm and cold, and resident
# memory over many paints. The photos are written with SDL2_image, so it links it directly.
add_executable(bench_paint ${CMAKE_CURRENT_LIST_DIR}/bench_paint.cpp)
target_link_libraries(bench_paint PRIVATE tappy_play SDL2_image::SDL2_image SDL2::SDL2
                                          benchmark::benchmark)
