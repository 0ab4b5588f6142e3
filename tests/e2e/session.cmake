# The whole program on Xvfb: other monitors covered with the pointer held, one instance per
# display, the lock keys put back, the screen saver held off. x11_probe reads the saver's state.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
foreach(scenario monitors instance session)
    add_test(NAME e2e_session_${scenario}
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/session_e2e.py
                --tappy $<TARGET_FILE:tappy> --probe $<TARGET_FILE:x11_probe> ${scenario})
    set_tests_properties(e2e_session_${scenario} PROPERTIES
        LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 240 ENVIRONMENT "${TAPPY_HEADLESS_ENV}")
endforeach()
