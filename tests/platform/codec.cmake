tappy_add_test(platform_codec_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/codec_test.cpp
    LIBS tappy_codec)
tappy_add_test(platform_picture_store_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/picture_store_test.cpp
    LIBS tappy_codec LABELS tsan)
