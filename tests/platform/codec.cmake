# Test pictures are encoded here with libjpeg and libheif's own encoders.
find_package(JPEG REQUIRED)
pkg_check_modules(HEIF_TEST REQUIRED IMPORTED_TARGET libheif)
tappy_add_test(platform_codec_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/codec_test.cpp
    LIBS tappy_codec JPEG::JPEG PkgConfig::HEIF_TEST)
