tappy_add_test(play_scene_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/scene_test.cpp
    LIBS tappy_play)
