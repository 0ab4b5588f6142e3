# Peak memory while playing hostile sound files: a pipe, a link to /dev/zero, a sparse 2 GB WAV
# and a long (60 MB) WAV that is streamed.
add_executable(bench_sound_files ${CMAKE_CURRENT_LIST_DIR}/bench_sound_files.cpp)
target_link_libraries(bench_sound_files PRIVATE tappy_platform)
