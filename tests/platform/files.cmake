tappy_add_test(platform_files_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/files_test.cpp ${CMAKE_CURRENT_LIST_DIR}/test_pictures.cpp
    LIBS tappy_platform)
