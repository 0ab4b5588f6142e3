tappy_add_test(play_wnd_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/play_wnd_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/../platform/test_pictures.cpp
    LIBS tappy_play
    LABELS tsan)
