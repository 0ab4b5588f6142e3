tappy_add_test(platform_wnd_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/wnd_test.cpp
    LIBS tappy_platform SDL2::SDL2)
