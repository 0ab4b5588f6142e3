tappy_add_fuzzer(fuzz_picture_size SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_picture_size.cpp
    LIBS tappy_codec)
