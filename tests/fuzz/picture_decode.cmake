tappy_add_fuzzer(fuzz_picture_decode SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_picture_decode.cpp
    LIBS tappy_codec)
