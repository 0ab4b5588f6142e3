// The Wayland end-to-end tests' own input, as a real keyboard and mouse would give it.
//
//   wl_input WIDTHxHEIGHT   one virtual keyboard and one virtual pointer for the life of the
//                           process; the layout's size scales absolute motion. Reads commands,
//                           one a line, and answers each with "ok" once the compositor has
//                           seen it (a round trip), or "error <line>":
//                             key <evdev code> 1|0   press or release; modifiers follow
//                             move <x> <y>           absolute, layout pixels
//                             click                  left button press and release
//
// The keymap goes to the compositor before any key or modifier: a client that receives
// modifiers before a keymap may crash (SDL 2.26 does). Modifiers are what xkbcommon computes
// from the keys pressed so far, so a binding sees the same state a physical keyboard gives.
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

wl_display* display;
wl_seat* seat;
zwp_virtual_keyboard_manager_v1* keyboards;
zwlr_virtual_pointer_manager_v1* pointers;

[[noreturn]] void die(const char* what)
{
    std::fprintf(stderr, "wl_input: %s\n", what);
    std::exit(1);
}

void say(const std::string& text)
{
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

uint32_t now_ms()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void on_global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    const std::pair<const wl_interface*, void**> wanted[] = {
        {&wl_seat_interface, reinterpret_cast<void**>(&seat)},
        {&zwp_virtual_keyboard_manager_v1_interface, reinterpret_cast<void**>(&keyboards)},
        {&zwlr_virtual_pointer_manager_v1_interface, reinterpret_cast<void**>(&pointers)}};
    // Version 1 of each is all these tests use; the first seat is the one sway listens to.
    for (auto [iface, slot] : wanted)
        if (std::strcmp(interface, iface->name) == 0 && !*slot)
            *slot = wl_registry_bind(registry, name, iface, 1);
}

const wl_registry_listener registry_listener = {on_global, [](void*, wl_registry*, uint32_t) {}};

void roundtrip()
{
    if (wl_display_roundtrip(display) < 0)
        die("lost the compositor");
}

int run_devices(uint32_t layout_w, uint32_t layout_h)
{
    if (!seat || !keyboards || !pointers)
        die("the compositor offers no seat, virtual keyboard or virtual pointer manager");
    xkb_context* ctx = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{nullptr, nullptr, "us", nullptr, nullptr}; // rules, model, layout...
    xkb_keymap* keymap = xkb_keymap_new_from_names(ctx, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        die("cannot compile the us keymap");
    xkb_state* state = xkb_state_new(keymap);
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    auto size = static_cast<ssize_t>(std::strlen(text) + 1);
    int fd = memfd_create("wl_input-keymap", MFD_CLOEXEC);
    if (fd < 0 || write(fd, text, size) != size)
        die("cannot hand over the keymap");
    auto* kbd = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboards, seat);
    zwp_virtual_keyboard_v1_keymap(kbd, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<uint32_t>(size));
    auto* ptr = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers, seat);
    roundtrip();
    close(fd);
    std::free(text);
    say("ready");

    char line[256], cmd[32];
    long a = 0, b = 0;
    while (std::fgets(line, sizeof line, stdin)) {
        int n = std::sscanf(line, "%31s %ld %ld", cmd, &a, &b);
        std::string what = n > 0 ? cmd : "";
        if (what == "key" && n == 3) {
            xkb_state_update_key(state, static_cast<uint32_t>(a) + 8,
                                 b ? XKB_KEY_DOWN : XKB_KEY_UP);
            zwp_virtual_keyboard_v1_key(kbd, now_ms(), static_cast<uint32_t>(a),
                                        b ? WL_KEYBOARD_KEY_STATE_PRESSED
                                          : WL_KEYBOARD_KEY_STATE_RELEASED);
            // wlroots passes modifiers on only when they change, as a keyboard would.
            zwp_virtual_keyboard_v1_modifiers(
                kbd, xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
                xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
                xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
                xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE));
        } else if (what == "move" && n == 3) {
            zwlr_virtual_pointer_v1_motion_absolute(ptr, now_ms(), static_cast<uint32_t>(a),
                                                    static_cast<uint32_t>(b), layout_w, layout_h);
            zwlr_virtual_pointer_v1_frame(ptr);
        } else if (what == "click") {
            for (auto s : {WL_POINTER_BUTTON_STATE_PRESSED, WL_POINTER_BUTTON_STATE_RELEASED}) {
                zwlr_virtual_pointer_v1_button(ptr, now_ms(), 0x110 /* BTN_LEFT */, s);
                zwlr_virtual_pointer_v1_frame(ptr);
            }
        } else {
            say("error " + std::string(line, std::strcspn(line, "\n")));
            continue;
        }
        roundtrip();
        say("ok");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    unsigned w = 0, h = 0;
    if (argc != 2 || std::sscanf(argv[1], "%ux%u", &w, &h) != 2 || !w || !h)
        die("usage: wl_input WIDTHxHEIGHT");
    display = wl_display_connect(nullptr);
    if (!display)
        die("cannot connect to the Wayland display");
    wl_registry_add_listener(wl_display_get_registry(display), &registry_listener, nullptr);
    roundtrip();
    return run_devices(w, h);
}
