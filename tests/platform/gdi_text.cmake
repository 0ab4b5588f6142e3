# The text and fill tests look inside the platform's structures, so they see SDL's headers.
tappy_add_test(platform_gdi_text_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/gdi_text_test.cpp
    LIBS tappy_platform SDL2::SDL2 SDL2_ttf::SDL2_ttf)
