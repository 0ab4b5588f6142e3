tappy_add_test(platform_keyboard_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/keyboard_test.cpp
    LIBS tappy_platform SDL2::SDL2)
