tappy_add_fuzzer(fuzz_word_text SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_word_text.cpp
    LIBS tappy_platform)
