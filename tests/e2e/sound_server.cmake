# The whole program against a real sound server that restarts under it or starts after it
# (sound_server_e2e.py).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
foreach(scenario restart late half)
    add_test(NAME e2e_sound_${scenario}
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/sound_server_e2e.py
                --tappy $<TARGET_FILE:tappy> ${scenario})
    set_tests_properties(e2e_sound_${scenario} PROPERTIES
        LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 240 ENVIRONMENT "${TAPPY_HEADLESS_ENV}")
endforeach()
