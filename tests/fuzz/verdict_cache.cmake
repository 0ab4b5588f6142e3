tappy_add_fuzzer(fuzz_verdict_cache SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_verdict_cache.cpp
    LIBS tappy_codec)
