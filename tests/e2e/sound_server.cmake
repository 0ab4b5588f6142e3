# The whole program against a real sound server that restarts under it or starts after it
# (sound_server_e2e.py).
tappy_add_e2e(e2e_sound ${CMAKE_CURRENT_LIST_DIR}/sound_server_e2e.py LABELS e2e TIMEOUT 240
    ARGS --tappy $<TARGET_FILE:tappy> CASES restart late half)
