tappy_add_test(content_topic_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/topic_test.cpp ${CMAKE_CURRENT_LIST_DIR}/../platform/test_pictures.cpp
    LIBS tappy_content)
