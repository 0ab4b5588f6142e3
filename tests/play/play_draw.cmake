tappy_add_test(play_draw_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/play_draw_test.cpp
    LIBS tappy_play)
