tappy_add_test(platform_session_rules_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/session_rules_test.cpp
    LIBS tappy_platform)
