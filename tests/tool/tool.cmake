# The parents' tool: its rules and file steps (tool_test), and the tool with Tappy on Xvfb
# (content_e2e.py): a fresh HOME, photos added and shown alone, spoken words played, the check.
tappy_add_test(tool_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/tool_test.cpp LIBS tappy_tool)
tappy_add_e2e(e2e_content ${CMAKE_CURRENT_LIST_DIR}/content_e2e.py LABELS e2e TIMEOUT 240
    ARGS --tappy $<TARGET_FILE:tappy> --tool $<TARGET_FILE:tappy-content> CASES photos check)
