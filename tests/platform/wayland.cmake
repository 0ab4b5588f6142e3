pkg_check_modules(XKBCOMMON REQUIRED IMPORTED_TARGET xkbcommon)
tappy_add_test(platform_wayland_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/wayland/wayland_lock_test.cpp
    LIBS tappy_platform_wayland PkgConfig::XKBCOMMON)
