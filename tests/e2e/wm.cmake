# The lock under real window managers (wm_e2e.py), with the thief (e2e.cmake) trying each way
# out. Those a parent's desktop commonly runs are in every test run; kwin (a much larger
# install) only in `make test-desktops`.
foreach(entry openbox-1 openbox-2 xfwm4-1 xfwm4-2 i3-1 i3-2 mutter-1 mutter-2 breakgrab-1
              kwin-1 kwin-2)
    add_test(NAME e2e_wm_${entry}
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/wm_e2e.py
                --tappy $<TARGET_FILE:tappy> --probe $<TARGET_FILE:thief> ${entry})
    set(labels e2e)
    if(entry MATCHES "^kwin")
        set(labels desktops)
    endif()
    set_tests_properties(e2e_wm_${entry} PROPERTIES
        LABELS "${labels}" SKIP_RETURN_CODE 77 TIMEOUT 300 ENVIRONMENT "${TAPPY_HEADLESS_ENV}")
endforeach()
