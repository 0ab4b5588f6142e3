# The whole program on Xvfb (tappy_e2e.py, display through support/xvfb.py). thief is the second
# X11 client of these and the window-manager tests: it sends the outside close request, reads the
# saver's state and tries each way out of the lock.
add_executable(thief ${CMAKE_CURRENT_LIST_DIR}/thief.cpp)
pkg_check_modules(XSS REQUIRED IMPORTED_TARGET xscrnsaver)
target_link_libraries(thief PRIVATE PkgConfig::X11 PkgConfig::XSS)
set(x11_args --tappy $<TARGET_FILE:tappy> --probe $<TARGET_FILE:thief>)
tappy_add_e2e(e2e_app ${CMAKE_CURRENT_LIST_DIR}/tappy_e2e.py LABELS e2e TIMEOUT 240
    ARGS ${x11_args} CASES play broken)
tappy_add_e2e(e2e_session ${CMAKE_CURRENT_LIST_DIR}/tappy_e2e.py LABELS e2e TIMEOUT 240
    ARGS ${x11_args} CASES instance session gone monitors)
