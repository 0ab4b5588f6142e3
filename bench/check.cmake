# The background check of a full-HD JPEG, in process and through the checker child. The photos
# are written with SDL2_image, so it links it directly.
add_executable(bench_check ${CMAKE_CURRENT_LIST_DIR}/bench_check.cpp)
target_link_libraries(bench_check PRIVATE tappy_codec SDL2_image::SDL2_image SDL2::SDL2)
