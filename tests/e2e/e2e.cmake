# The whole program on Xvfb (tappy_e2e.py), and the grab on a bare buffered window
# (grab_e2e.py); both start their displays through support/xvfb.py. x11_probe sends the outside
# close request, tries the grab, steals the focus and reads the saver's state.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_executable(grab_host ${CMAKE_CURRENT_LIST_DIR}/grab_host.cpp)
target_link_libraries(grab_host PRIVATE tappy_shell tappy_platform SDL2::SDL2)
add_executable(x11_probe ${CMAKE_CURRENT_LIST_DIR}/x11_probe.cpp)
pkg_check_modules(XSS REQUIRED IMPORTED_TARGET xscrnsaver)
target_link_libraries(x11_probe PRIVATE PkgConfig::X11 PkgConfig::XSS)
foreach(entry app:tappy_e2e:play app:tappy_e2e:empty app:tappy_e2e:broken
              session:tappy_e2e:monitors session:tappy_e2e:instance
              session:tappy_e2e:session grab:grab_e2e:grab)
    string(REPLACE ":" ";" parts ${entry})
    list(GET parts 0 group)
    list(GET parts 1 script)
    list(GET parts 2 scenario)
    set(name e2e_${group}_${scenario})
    if(group STREQUAL grab)
        set(name e2e_grab)
    endif()
    add_test(NAME ${name}
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/${script}.py
                --tappy $<TARGET_FILE:tappy> --host $<TARGET_FILE:grab_host>
                --probe $<TARGET_FILE:x11_probe> ${scenario})
    set_tests_properties(${name} PROPERTIES
        LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 240 ENVIRONMENT "${TAPPY_HEADLESS_ENV}")
endforeach()
