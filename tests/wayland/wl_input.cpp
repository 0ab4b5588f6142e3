// The Wayland end-to-end tests' own input, as a real keyboard and mouse would give it.
//
//   wl_input WIDTHxHEIGHT   one virtual keyboard and one virtual pointer for the life of the
//                           process; the layout's size scales absolute motion. Reads commands,
//                           one a line, and answers each with "ok" once the compositor has
//                           seen it (a round trip), or "error <what>":
//                             key <evdev code> 1|0   press or release; modifiers follow
//                             move <x> <y>           absolute, layout pixels
//                             click <evdev button>   press and release
//                             scroll <steps>         vertical wheel
//                             sync
//   wl_input --window ID    maps a plain window with app_id ID and prints "focus 1|0" and
//                           "key <evdev code> 1|0" as its keyboard sees them; ends when its
//                           standard input closes.
//
// The keymap goes to the compositor before any key or modifier: a client that receives
// modifiers before a keymap may crash (SDL 2.26 does). Modifiers are what xkbcommon computes
// from the keys pressed so far, so a binding sees the same state a physical keyboard gives.
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

constexpr uint32_t kBtnLeft = 0x110;

struct Client {
    wl_display* display = nullptr;
    wl_seat* seat = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    xdg_wm_base* wm_base = nullptr;
    zwp_virtual_keyboard_manager_v1* keyboards = nullptr;
    zwlr_virtual_pointer_manager_v1* pointers = nullptr;
    // Window mode.
    wl_surface* surface = nullptr;
    xdg_surface* xsurface = nullptr;
    wl_buffer* buffer = nullptr;
    wl_keyboard* keyboard = nullptr;
    int width = 320, height = 240;
    bool configured = false;
};

[[noreturn]] void die(const char* what)
{
    std::fprintf(stderr, "wl_input: %s\n", what);
    std::exit(1);
}

uint32_t now_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

void on_global(void* data, wl_registry* registry, uint32_t name, const char* interface,
               uint32_t version)
{
    auto* c = static_cast<Client*>(data);
    auto bind = [&](const wl_interface* iface, uint32_t max) {
        return wl_registry_bind(registry, name, iface, version < max ? version : max);
    };
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !c->seat)
        c->seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 1));
    else if (std::strcmp(interface, wl_compositor_interface.name) == 0)
        c->compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    else if (std::strcmp(interface, wl_shm_interface.name) == 0)
        c->shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0)
        c->wm_base = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 1));
    else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        c->keyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
            bind(&zwp_virtual_keyboard_manager_v1_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        c->pointers = static_cast<zwlr_virtual_pointer_manager_v1*>(
            bind(&zwlr_virtual_pointer_manager_v1_interface, 1));
}

void on_global_remove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registry_listener = {on_global, on_global_remove};

// A file descriptor holding size bytes of text, as the keymap request wants it.
int memfd_with(const char* text, size_t size)
{
    int fd = memfd_create("wl_input-keymap", MFD_CLOEXEC);
    if (fd < 0)
        die("memfd_create failed");
    for (size_t done = 0; done < size;) {
        ssize_t n = write(fd, text + done, size - done);
        if (n <= 0)
            die("cannot write the keymap");
        done += static_cast<size_t>(n);
    }
    return fd;
}

void answer(Client& c, const char* text)
{
    if (wl_display_roundtrip(c.display) < 0)
        die("lost the compositor");
    std::printf("%s\n", text);
    std::fflush(stdout);
}

int run_devices(Client& c, uint32_t layout_w, uint32_t layout_h)
{
    if (!c.seat || !c.keyboards || !c.pointers)
        die("the compositor offers no seat, virtual keyboard or virtual pointer manager");

    xkb_context* ctx = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_rule_names names{};
    names.layout = "us";
    xkb_keymap* keymap =
        ctx ? xkb_keymap_new_from_names(ctx, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
    if (!keymap)
        die("cannot compile the us keymap");
    xkb_state* state = xkb_state_new(keymap);
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    size_t size = std::strlen(text) + 1;
    int fd = memfd_with(text, size);

    auto* kbd = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(c.keyboards, c.seat);
    zwp_virtual_keyboard_v1_keymap(kbd, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<uint32_t>(size));
    auto* ptr = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(c.pointers, c.seat);
    if (wl_display_roundtrip(c.display) < 0)
        die("the compositor refused the devices");
    close(fd);
    std::free(text);
    std::printf("ready\n");
    std::fflush(stdout);

    uint32_t sent[4] = {0, 0, 0, 0};
    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {
        char cmd[32] = "";
        long a = 0, b = 0;
        int n = std::sscanf(line, "%31s %ld %ld", cmd, &a, &b);
        std::string what = cmd;
        if (what == "key" && n == 3 && a >= 0 && a < 0x300) {
            auto code = static_cast<uint32_t>(a);
            xkb_state_update_key(state, code + 8, b ? XKB_KEY_DOWN : XKB_KEY_UP);
            zwp_virtual_keyboard_v1_key(kbd, now_ms(), code,
                                        b ? WL_KEYBOARD_KEY_STATE_PRESSED
                                          : WL_KEYBOARD_KEY_STATE_RELEASED);
            uint32_t mods[4] = {xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
                                xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
                                xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
                                xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE)};
            if (std::memcmp(mods, sent, sizeof mods) != 0) {
                zwp_virtual_keyboard_v1_modifiers(kbd, mods[0], mods[1], mods[2], mods[3]);
                std::memcpy(sent, mods, sizeof mods);
            }
            answer(c, "ok");
        } else if (what == "move" && n == 3 && a >= 0 && b >= 0 && a < layout_w && b < layout_h) {
            zwlr_virtual_pointer_v1_motion_absolute(ptr, now_ms(), static_cast<uint32_t>(a),
                                                    static_cast<uint32_t>(b), layout_w, layout_h);
            zwlr_virtual_pointer_v1_frame(ptr);
            answer(c, "ok");
        } else if (what == "click" && n >= 1) {
            auto button = n >= 2 ? static_cast<uint32_t>(a) : kBtnLeft;
            for (auto s : {WL_POINTER_BUTTON_STATE_PRESSED, WL_POINTER_BUTTON_STATE_RELEASED}) {
                zwlr_virtual_pointer_v1_button(ptr, now_ms(), button, s);
                zwlr_virtual_pointer_v1_frame(ptr);
            }
            answer(c, "ok");
        } else if (what == "scroll" && n == 2) {
            zwlr_virtual_pointer_v1_axis(ptr, now_ms(), WL_POINTER_AXIS_VERTICAL_SCROLL,
                                         wl_fixed_from_int(static_cast<int>(a) * 15));
            zwlr_virtual_pointer_v1_frame(ptr);
            answer(c, "ok");
        } else if (what == "sync") {
            answer(c, "ok");
        } else {
            std::printf("error unknown command: %s", line);
            std::fflush(stdout);
        }
    }
    xkb_state_unref(state);
    xkb_keymap_unref(keymap);
    xkb_context_unref(ctx);
    return 0;
}

// ---- window mode ----------------------------------------------------------------------------

void paint(Client& c)
{
    size_t stride = static_cast<size_t>(c.width) * 4, size = stride * c.height;
    int fd = memfd_create("wl_input-buffer", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) < 0)
        die("cannot make a buffer");
    void* px = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (px == MAP_FAILED)
        die("cannot map a buffer");
    auto* p = static_cast<uint32_t*>(px);
    for (size_t i = 0; i < size / 4; ++i)
        p[i] = 0xff00c000; // plain green, unlike anything the desktop or Tappy shows
    munmap(px, size);
    wl_shm_pool* pool = wl_shm_create_pool(c.shm, fd, static_cast<int32_t>(size));
    if (c.buffer)
        wl_buffer_destroy(c.buffer);
    c.buffer = wl_shm_pool_create_buffer(pool, 0, c.width, c.height, static_cast<int32_t>(stride),
                                         WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_surface_attach(c.surface, c.buffer, 0, 0);
    wl_surface_damage(c.surface, 0, 0, c.width, c.height);
    wl_surface_commit(c.surface);
}

void on_ping(void*, xdg_wm_base* base, uint32_t serial)
{
    xdg_wm_base_pong(base, serial);
}
const xdg_wm_base_listener wm_base_listener = {on_ping};

void on_surface_configure(void* data, xdg_surface* s, uint32_t serial)
{
    auto* c = static_cast<Client*>(data);
    xdg_surface_ack_configure(s, serial);
    paint(*c);
    c->configured = true;
}
const xdg_surface_listener surface_listener = {on_surface_configure};

void on_toplevel_configure(void* data, xdg_toplevel*, int32_t w, int32_t h, wl_array*)
{
    auto* c = static_cast<Client*>(data);
    if (w > 0 && h > 0) {
        c->width = w;
        c->height = h;
    }
}
void on_toplevel_close(void*, xdg_toplevel*) {}
void on_toplevel_bounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void on_toplevel_capabilities(void*, xdg_toplevel*, wl_array*) {}
const xdg_toplevel_listener toplevel_listener = {on_toplevel_configure, on_toplevel_close,
                                                 on_toplevel_bounds, on_toplevel_capabilities};

void on_keymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t)
{
    close(fd);
}
void on_enter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*)
{
    std::printf("focus 1\n");
    std::fflush(stdout);
}
void on_leave(void*, wl_keyboard*, uint32_t, wl_surface*)
{
    std::printf("focus 0\n");
    std::fflush(stdout);
}
void on_key(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state)
{
    std::printf("key %u %u\n", key, state);
    std::fflush(stdout);
}
void on_modifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void on_repeat(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener keyboard_listener = {on_keymap, on_enter,     on_leave,
                                                on_key,    on_modifiers, on_repeat};

int run_window(Client& c, const char* app_id)
{
    if (!c.compositor || !c.shm || !c.wm_base || !c.seat)
        die("the compositor offers no compositor, shm, xdg_wm_base or seat");
    xdg_wm_base_add_listener(c.wm_base, &wm_base_listener, &c);
    c.keyboard = wl_seat_get_keyboard(c.seat);
    wl_keyboard_add_listener(c.keyboard, &keyboard_listener, &c);
    c.surface = wl_compositor_create_surface(c.compositor);
    c.xsurface = xdg_wm_base_get_xdg_surface(c.wm_base, c.surface);
    xdg_surface_add_listener(c.xsurface, &surface_listener, &c);
    xdg_toplevel* top = xdg_surface_get_toplevel(c.xsurface);
    xdg_toplevel_add_listener(top, &toplevel_listener, &c);
    xdg_toplevel_set_app_id(top, app_id);
    xdg_toplevel_set_title(top, app_id);
    wl_surface_commit(c.surface);
    while (!c.configured)
        if (wl_display_dispatch(c.display) < 0)
            die("lost the compositor");
    wl_display_roundtrip(c.display);
    std::printf("mapped\n");
    std::fflush(stdout);

    pollfd fds[2] = {{wl_display_get_fd(c.display), POLLIN, 0}, {0, POLLIN, 0}};
    for (;;) {
        wl_display_flush(c.display);
        if (poll(fds, 2, -1) < 0)
            continue;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
            if (wl_display_dispatch(c.display) < 0)
                die("lost the compositor");
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buf[64];
            if (read(0, buf, sizeof buf) <= 0)
                return 0;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    Client c;
    unsigned w = 0, h = 0;
    bool window = argc == 3 && std::strcmp(argv[1], "--window") == 0;
    if (!window && (argc != 2 || std::sscanf(argv[1], "%ux%u", &w, &h) != 2 || !w || !h)) {
        std::fprintf(stderr, "usage: wl_input WIDTHxHEIGHT | wl_input --window APP_ID\n");
        return 2;
    }
    c.display = wl_display_connect(nullptr);
    if (!c.display)
        die("cannot connect to the Wayland display");
    wl_registry* registry = wl_display_get_registry(c.display);
    wl_registry_add_listener(registry, &registry_listener, &c);
    if (wl_display_roundtrip(c.display) < 0)
        die("lost the compositor");
    int code = window ? run_window(c, argv[2]) : run_devices(c, w, h);
    wl_display_disconnect(c.display);
    return code;
}
