tappy_add_test(content_lists_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/lists_test.cpp
    LIBS tappy_content)
