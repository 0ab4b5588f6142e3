# The whole program on Xvfb: play, pictures, sound, the corner exit, broken and empty content.
# x11_probe (declared beside the grab test) sends the outside close request.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
foreach(scenario play empty broken)
    add_test(NAME e2e_app_${scenario}
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/tappy_e2e.py
                --tappy $<TARGET_FILE:tappy> --probe $<TARGET_FILE:x11_probe> ${scenario})
    set_tests_properties(e2e_app_${scenario} PROPERTIES
        LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 240 ENVIRONMENT "${TAPPY_HEADLESS_ENV}")
endforeach()
