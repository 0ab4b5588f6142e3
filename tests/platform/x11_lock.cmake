tappy_add_test(platform_x11_lock_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/x11/x11_lock_test.cpp
    LIBS tappy_platform_x11 PkgConfig::X11)
