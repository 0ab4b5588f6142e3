# The keyboard grab, the close filter, the corner exit and the painted screen, on a real X11
# window under Xvfb.
add_executable(grab_host ${CMAKE_CURRENT_LIST_DIR}/grab_host.cpp)
target_link_libraries(grab_host PRIVATE tappy_shell tappy_platform SDL2::SDL2)
add_executable(x11_probe ${CMAKE_CURRENT_LIST_DIR}/x11_probe.cpp)
pkg_check_modules(XSS REQUIRED IMPORTED_TARGET xscrnsaver)
target_link_libraries(x11_probe PRIVATE PkgConfig::X11 PkgConfig::XSS)
add_test(NAME e2e_grab
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/grab_e2e.sh $<TARGET_FILE:grab_host> $<TARGET_FILE:x11_probe>)
set_tests_properties(e2e_grab PROPERTIES
    LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 120 ENVIRONMENT "${TAPPY_HEADLESS_ENV}")
