# The parents' tool: its rules and file steps (tool_test), and the tool with Tappy on Xvfb
# (content_e2e.py): a fresh HOME, photos added and shown alone, spoken words played, the check.
tappy_add_test(tool_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/tool_test.cpp LIBS tappy_tool)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
foreach(scenario photos check)
    add_test(NAME e2e_content_${scenario}
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/content_e2e.py
                --tappy $<TARGET_FILE:tappy> --tool $<TARGET_FILE:tappy-content> ${scenario})
    set_tests_properties(e2e_content_${scenario} PROPERTIES
        LABELS e2e SKIP_RETURN_CODE 77 TIMEOUT 240 ENVIRONMENT "${TAPPY_HEADLESS_ENV}")
endforeach()
