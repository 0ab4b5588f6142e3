# A key press through the filter and the message pump, and a full-screen paint, on the dummy
# video driver. It pushes SDL events itself, so it links SDL directly.
add_executable(bench_wnd_loop ${CMAKE_CURRENT_LIST_DIR}/bench_wnd_loop.cpp)
target_link_libraries(bench_wnd_loop PRIVATE tappy_shell tappy_platform SDL2::SDL2
                                             benchmark::benchmark)
