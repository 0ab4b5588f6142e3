# The lock under real window managers (wm_e2e.py), with the thief (e2e.cmake) trying each way
# out. Those a parent's desktop commonly runs are in every test run; kwin (a much larger
# install) only in `make test-desktops`.
set(wm_args --tappy $<TARGET_FILE:tappy> --probe $<TARGET_FILE:thief>)
tappy_add_e2e(e2e_wm ${CMAKE_CURRENT_LIST_DIR}/wm_e2e.py LABELS e2e TIMEOUT 300 ARGS ${wm_args}
    CASES openbox-1 openbox-2 xfwm4-1 xfwm4-2 i3-1 i3-2 mutter-1 mutter-2 breakgrab-1)
tappy_add_e2e(e2e_wm ${CMAKE_CURRENT_LIST_DIR}/wm_e2e.py LABELS desktops TIMEOUT 300
    ARGS ${wm_args} CASES kwin-1 kwin-2)
