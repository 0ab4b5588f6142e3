# The bundled content and the resources, checked as files: pictures decode, sounds are short
# mono waves, Tappy.map names only what exists, demo/ stays under 8 MB.
add_test(NAME demo_content COMMAND ${Python3_EXECUTABLE}
    ${CMAKE_CURRENT_LIST_DIR}/demo_content_test.py ${CMAKE_SOURCE_DIR})
set_tests_properties(demo_content PROPERTIES LABELS "content")

# The bundled content through the real loader.
tappy_add_test(demo_library_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/demo_library_test.cpp
    LIBS tappy_content tappy_platform)
target_compile_definitions(demo_library_test PRIVATE TAPPY_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
