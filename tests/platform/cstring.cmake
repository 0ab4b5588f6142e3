tappy_add_test(platform_runtime_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/cstring_test.cpp ${CMAKE_CURRENT_LIST_DIR}/runtime_test.cpp
    LIBS tappy_platform)
