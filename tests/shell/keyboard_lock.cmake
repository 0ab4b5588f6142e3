tappy_add_test(shell_keyboard_lock_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/keyboard_lock_test.cpp
    LIBS tappy_shell tappy_platform)
