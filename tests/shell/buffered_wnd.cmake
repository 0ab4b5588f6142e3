# The buffered window reads the window surface to check its copies, so it sees SDL directly.
tappy_add_test(shell_buffered_wnd_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/buffered_wnd_test.cpp
    LIBS tappy_shell tappy_platform SDL2::SDL2)
