# The whole program on Xvfb (tappy_e2e.py, display through support/xvfb.py). thief is the second
# X11 client of these and the window-manager tests: it sends the outside close request, reads the
# saver's state and tries each way out of the lock.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_executable(thief ${CMAKE_CURRENT_LIST_DIR}/thief.cpp)
pkg_check_modules(XSS REQUIRED IMPORTED_TARGET xscrnsaver)
target_link_libraries(thief PRIVATE PkgConfig::X11 PkgConfig::XSS)
foreach(scenario play broken instance session gone monitors)
    set(group app)
    if(scenario MATCHES "^(instance|session|gone|monitors)$")
        set(group session)
    endif()
    add_test(NAME e2e_${group}_${scenario}
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/tappy_e2e.py
                --tappy $<TARGET_FILE:tappy> --probe $<TARGET_FILE:thief> ${scenario})
    set_tests_properties(e2e_${group}_${scenario} PROPERTIES
        LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 240 ENVIRONMENT "${TAPPY_HEADLESS_ENV}")
endforeach()
