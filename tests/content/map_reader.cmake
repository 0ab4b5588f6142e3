tappy_add_test(content_map_reader_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/map_reader_test.cpp
    LIBS tappy_content)
