# Tappy under a headless GNOME Shell (gnome_shell_e2e.py), a large install: only in
# `make test-desktops`. The system's python runs it, as python3-dbus is installed for that one.
add_test(NAME e2e_desktops_gnome_shell
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/gnome_shell_e2e.py
            $<TARGET_FILE:tappy> $<TARGET_FILE:tappy-content>)
set_tests_properties(e2e_desktops_gnome_shell PROPERTIES
    LABELS desktops SKIP_RETURN_CODE 77 TIMEOUT 300 ENVIRONMENT "${TAPPY_HEADLESS_ENV}")
