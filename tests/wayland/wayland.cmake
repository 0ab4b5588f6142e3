# Tappy's lock on a Wayland compositor (wayland_e2e.py, headless sway through support/sway.py),
# driven by wl_input: a virtual keyboard and pointer. The two wlroots protocols' XML is kept
# beside it (protocols/NOTES.md); the C glue is generated at build time. The other program that
# takes the focus is xev, on sway's Xwayland.
pkg_check_modules(WL_INPUT IMPORTED_TARGET wayland-client xkbcommon)
find_program(WAYLAND_SCANNER wayland-scanner)
if(NOT (WL_INPUT_FOUND AND WAYLAND_SCANNER))
    message(STATUS "wayland-client, xkbcommon or wayland-scanner missing: no Wayland e2e tests")
    return()
endif()

set(glue_dir ${CMAKE_CURRENT_BINARY_DIR}/wl_input_glue)
set(glue_sources)
foreach(xml ${CMAKE_CURRENT_LIST_DIR}/protocols/virtual-keyboard-unstable-v1.xml
            ${CMAKE_CURRENT_LIST_DIR}/protocols/wlr-virtual-pointer-unstable-v1.xml)
    get_filename_component(name ${xml} NAME_WE)
    add_custom_command(
        OUTPUT ${glue_dir}/${name}-client-protocol.h ${glue_dir}/${name}-protocol.c
        COMMAND ${CMAKE_COMMAND} -E make_directory ${glue_dir}
        COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${glue_dir}/${name}-client-protocol.h
        COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${glue_dir}/${name}-protocol.c
        DEPENDS ${xml} VERBATIM)
    list(APPEND glue_sources ${glue_dir}/${name}-client-protocol.h ${glue_dir}/${name}-protocol.c)
endforeach()
add_executable(wl_input ${CMAKE_CURRENT_LIST_DIR}/wl_input.cpp ${glue_sources})
target_include_directories(wl_input PRIVATE ${glue_dir})
target_link_libraries(wl_input PRIVATE PkgConfig::WL_INPUT)

tappy_add_e2e(e2e_wayland ${CMAKE_CURRENT_LIST_DIR}/wayland_e2e.py LABELS e2e wayland
    TIMEOUT 240 ARGS --tappy $<TARGET_FILE:tappy> --input $<TARGET_FILE:wl_input>
    CASES 1 2 gone scale rescale plug unplug)
