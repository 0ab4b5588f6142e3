tappy_add_test(platform_sound_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound_test.cpp
    LIBS tappy_platform
    LABELS tsan)
