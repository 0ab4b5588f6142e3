tappy_add_test(sound_worker_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound_worker_test.cpp
    LIBS tappy_sound
    LABELS tsan)
