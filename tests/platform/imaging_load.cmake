tappy_add_test(platform_imaging_load_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/imaging_load_test.cpp ${CMAKE_CURRENT_LIST_DIR}/test_pictures.cpp
    LIBS tappy_platform)
