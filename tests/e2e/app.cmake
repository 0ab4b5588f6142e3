# The whole program on Xvfb. tappy_e2e.py: play, pictures, sound, the corner exit, broken and
# empty content. session_e2e.py: other monitors covered with the pointer held, one instance per
# display, the lock keys put back, the screen saver held off. x11_probe (declared beside the
# grab test) sends the outside close request and reads the saver's state.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
foreach(entry app:tappy_e2e:play app:tappy_e2e:empty app:tappy_e2e:broken
              session:session_e2e:monitors session:session_e2e:instance
              session:session_e2e:session)
    string(REPLACE ":" ";" parts ${entry})
    list(GET parts 0 group)
    list(GET parts 1 script)
    list(GET parts 2 scenario)
    add_test(NAME e2e_${group}_${scenario}
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/${script}.py
                --tappy $<TARGET_FILE:tappy> --probe $<TARGET_FILE:x11_probe> ${scenario})
    set_tests_properties(e2e_${group}_${scenario} PROPERTIES
        LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 240 ENVIRONMENT "${TAPPY_HEADLESS_ENV}")
endforeach()
