# Key to screen with pictures decoded ahead, and peak memory of hostile pictures.
add_executable(bench_key ${CMAKE_CURRENT_LIST_DIR}/bench_key.cpp
                         ${CMAKE_SOURCE_DIR}/tests/support/test_pictures.cpp)
target_include_directories(bench_key PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(bench_key PRIVATE tappy_play SDL2_image::SDL2_image SDL2::SDL2)
