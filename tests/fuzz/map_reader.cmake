tappy_add_fuzzer(fuzz_map_reader SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_map_reader.cpp
    LIBS tappy_content)
