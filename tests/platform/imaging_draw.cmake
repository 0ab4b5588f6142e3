# Pictures are written with SDL_image and the drawn pixels read back, so SDL's headers are seen.
tappy_add_test(platform_imaging_draw_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/imaging_draw_test.cpp
    LIBS tappy_platform SDL2::SDL2 SDL2_image::SDL2_image)
