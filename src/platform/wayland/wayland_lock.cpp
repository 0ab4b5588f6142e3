#include "platform/wayland/wayland_lock.h"

#include "platform/wayland/queue.h"

#include "idle-inhibit-unstable-v1-client.h"
#include "keyboard-shortcuts-inhibit-unstable-v1-client.h"
#include "xdg-activation-v1-client.h"
#include "xdg-shell-client.h"

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tappy::wayland {

std::string StatusLine(const Status& status)
{
    std::string line = "Tappy on Wayland: ";
    switch (status.shortcuts) {
    case Shortcuts::held:
        line += "shortcuts held";
        break;
    case Shortcuts::asking:
        line += "shortcuts asked for, not granted yet (the desktop may ask you to allow it)";
        break;
    case Shortcuts::refused:
        line += "shortcuts NOT held: the desktop refused or took back the request";
        break;
    case Shortcuts::unavailable:
        line += "shortcuts NOT held: this desktop cannot pass them to a program";
        break;
    }
    if (!status.focused)
        line += " while Tappy has the focus, and another window has it now";
    line += status.idleHeld ? "; idle held" : "; idle held only where the desktop answers D-Bus";
    if (status.coversShown)
        line += "; other screens covered";
    return line + ".";
}

struct Lock::Impl {
    wl_display* display = nullptr;
    wl_surface* play = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wl_event_queue* queue = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    zwp_keyboard_shortcuts_inhibit_manager_v1* inhibitManager = nullptr;
    // Tappy's surfaces, the play window's first, each with its own shortcuts inhibitor: a
    // compositor may give a cover the focus (sway does when the pointer moves onto it), and
    // the shortcuts must stay held there too.
    struct Surface {
        Impl* impl = nullptr;
        wl_surface* surface = nullptr;
        zwp_keyboard_shortcuts_inhibitor_v1* inhibitor = nullptr;
        enum class Answer { none, active, inactive } answer = Answer::none;
    };
    std::vector<std::unique_ptr<Surface>> surfaces;
    wl_surface* focus = nullptr; // one of ours, or null when another window has the focus
    bool everGranted = false;
    zwp_idle_inhibit_manager_v1* idleManager = nullptr;
    zwp_idle_inhibitor_v1* idleInhibitor = nullptr;
    xdg_activation_v1* activation = nullptr;
    Status status;
    bool said = false;
    Status saidStatus;

    Surface* Find(wl_surface* surface);
    void Inhibit(Surface& s);
    static void Drop(Surface& s);
    // Asks again for a surface that has the focus without a grant.
    void AskAgainIfFocused();
    void Refresh();
    void Dispatch();
    void Say();
};

namespace {

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version)
{
    auto* impl = static_cast<Lock::Impl*>(data);
    const auto bind = [&](const wl_interface* iface, uint32_t most) {
        return wl_registry_bind(registry, name, iface, version < most ? version : most);
    };
    if (!std::strcmp(interface, wl_seat_interface.name) && !impl->seat)
        impl->seat = static_cast<wl_seat*>(bind(&wl_seat_interface, 1));
    else if (!std::strcmp(interface, zwp_keyboard_shortcuts_inhibit_manager_v1_interface.name))
        impl->inhibitManager = static_cast<zwp_keyboard_shortcuts_inhibit_manager_v1*>(
            bind(&zwp_keyboard_shortcuts_inhibit_manager_v1_interface, 1));
    else if (!std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name))
        impl->idleManager = static_cast<zwp_idle_inhibit_manager_v1*>(
            bind(&zwp_idle_inhibit_manager_v1_interface, 1));
    else if (!std::strcmp(interface, xdg_activation_v1_interface.name))
        impl->activation = static_cast<xdg_activation_v1*>(bind(&xdg_activation_v1_interface, 1));
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void OnInhibitorActive(void* data, zwp_keyboard_shortcuts_inhibitor_v1*)
{
    auto* s = static_cast<Lock::Impl::Surface*>(data);
    s->answer = Lock::Impl::Surface::Answer::active;
    s->impl->everGranted = true;
}

// Sent when the surface loses the focus too; only for the focused one is it a refusal.
void OnInhibitorInactive(void* data, zwp_keyboard_shortcuts_inhibitor_v1*)
{
    static_cast<Lock::Impl::Surface*>(data)->answer = Lock::Impl::Surface::Answer::inactive;
}

const zwp_keyboard_shortcuts_inhibitor_v1_listener kInhibitorListener = {OnInhibitorActive,
                                                                         OnInhibitorInactive};

} // namespace

Lock::Impl::Surface* Lock::Impl::Find(wl_surface* surface)
{
    for (const auto& s : surfaces)
        if (s->surface == surface)
            return s.get();
    return nullptr;
}

void Lock::Impl::Inhibit(Surface& s)
{
    if (!inhibitManager || !seat || s.inhibitor)
        return;
    s.inhibitor = zwp_keyboard_shortcuts_inhibit_manager_v1_inhibit_shortcuts(inhibitManager,
                                                                              s.surface, seat);
    zwp_keyboard_shortcuts_inhibitor_v1_add_listener(s.inhibitor, &kInhibitorListener, &s);
    s.answer = Surface::Answer::none;
    wl_display_flush(display);
}

void Lock::Impl::Drop(Surface& s)
{
    if (s.inhibitor)
        zwp_keyboard_shortcuts_inhibitor_v1_destroy(s.inhibitor);
    s.inhibitor = nullptr;
    s.answer = Surface::Answer::none;
}

void Lock::Impl::AskAgainIfFocused()
{
    // An inhibitor the compositor let go of is not granted again by itself on every desktop.
    if (Surface* s = Find(focus); s && s->answer == Surface::Answer::inactive) {
        Drop(*s);
        Inhibit(*s);
        Dispatch();
    }
}

void Lock::Impl::Refresh()
{
    const Surface* s = Find(focus);
    status.focused = s != nullptr;
    if (!inhibitManager || !seat)
        status.shortcuts = Shortcuts::unavailable;
    else if (!s)
        status.shortcuts = everGranted ? Shortcuts::held : Shortcuts::asking;
    else if (s->answer == Surface::Answer::active)
        status.shortcuts = Shortcuts::held;
    else if (s->answer == Surface::Answer::inactive)
        status.shortcuts = Shortcuts::refused;
    else
        status.shortcuts = Shortcuts::asking;
}

void Lock::Impl::Dispatch()
{
    ReadAndDispatch(display, queue);
}

void Lock::Impl::Say()
{
    Refresh();
    if (said && status == saidStatus)
        return;
    said = true;
    saidStatus = status;
    std::fprintf(stderr, "%s\n", StatusLine(status).c_str());
}

Lock::Lock(wl_display* display, wl_surface* play, xdg_toplevel* toplevel)
    : impl_(std::make_unique<Impl>())
{
    Impl& impl = *impl_;
    impl.display = display;
    impl.play = play;
    impl.toplevel = toplevel;
    if (!display || !play)
        return;
    impl.queue = wl_display_create_queue(display);
    impl.registry = RegistryOnQueue(display, impl.queue);
    wl_registry_add_listener(impl.registry, &kRegistryListener, &impl);
    wl_display_roundtrip_queue(display, impl.queue);
    if (impl.idleManager) {
        impl.idleInhibitor = zwp_idle_inhibit_manager_v1_create_inhibitor(impl.idleManager, play);
        impl.status.idleHeld = true;
    }
    impl.focus = play;
    impl.surfaces.push_back(std::make_unique<Impl::Surface>());
    impl.surfaces.back()->impl = &impl;
    impl.surfaces.back()->surface = play;
    impl.Inhibit(*impl.surfaces.back());
    // The answer to the inhibitor, when the window already has the focus.
    wl_display_roundtrip_queue(display, impl.queue);
    impl.Say();
}

Lock::~Lock()
{
    Impl& impl = *impl_;
    if (!impl.queue)
        return;
    for (const auto& surface : impl.surfaces)
        Impl::Drop(*surface);
    if (impl.idleInhibitor)
        zwp_idle_inhibitor_v1_destroy(impl.idleInhibitor);
    if (impl.inhibitManager)
        zwp_keyboard_shortcuts_inhibit_manager_v1_destroy(impl.inhibitManager);
    if (impl.idleManager)
        zwp_idle_inhibit_manager_v1_destroy(impl.idleManager);
    if (impl.activation)
        xdg_activation_v1_destroy(impl.activation);
    if (impl.seat)
        wl_seat_destroy(impl.seat);
    wl_registry_destroy(impl.registry);
    wl_display_flush(impl.display);
    wl_event_queue_destroy(impl.queue);
}

void Lock::AddCover(wl_surface* cover)
{
    Impl& impl = *impl_;
    if (!impl.queue || !cover || impl.Find(cover))
        return;
    impl.surfaces.push_back(std::make_unique<Impl::Surface>());
    impl.surfaces.back()->impl = &impl;
    impl.surfaces.back()->surface = cover;
    impl.Inhibit(*impl.surfaces.back());
}

void Lock::SetCovers(const std::vector<wl_surface*>& covers)
{
    Impl& impl = *impl_;
    if (!impl.queue)
        return;
    // The old covers' surfaces are gone already, and a new one may have the same address, so
    // every cover's inhibitor is made again.
    for (std::size_t i = 1; i < impl.surfaces.size(); ++i) {
        if (impl.focus == impl.surfaces[i]->surface)
            impl.focus = nullptr;
        Impl::Drop(*impl.surfaces[i]);
    }
    if (!impl.surfaces.empty())
        impl.surfaces.resize(1);
    for (wl_surface* cover : covers)
        AddCover(cover);
    impl.Dispatch();
}

void Lock::OnFocusGained(wl_surface* surface)
{
    Impl& impl = *impl_;
    impl.focus = surface;
    if (!impl.queue)
        return;
    impl.Dispatch();
    if (Impl::Surface* s = impl.Find(surface); s && s->answer != Impl::Surface::Answer::active) {
        Impl::Drop(*s);
        impl.Inhibit(*s);
    }
    AskFullScreen();
    impl.Dispatch();
}

void Lock::OnFocusLost(wl_surface* surface)
{
    if (impl_->focus == surface)
        impl_->focus = nullptr;
    Tick();
}

void Lock::AskFullScreen()
{
    if (impl_->toplevel) {
        xdg_toplevel_set_fullscreen(impl_->toplevel, nullptr);
        wl_display_flush(impl_->display);
    }
}

void Lock::SetCoversShown(bool shown)
{
    impl_->status.coversShown = shown;
}

void Lock::Tick()
{
    Impl& impl = *impl_;
    if (!impl.queue)
        return;
    impl.Dispatch();
    impl.AskAgainIfFocused();
}

void Lock::Report()
{
    if (impl_->queue)
        impl_->Say();
}

void Lock::Activate(const std::string& token)
{
    Impl& impl = *impl_;
    if (!impl.activation || token.empty())
        return;
    xdg_activation_v1_activate(impl.activation, token.c_str(), impl.play);
    wl_display_flush(impl.display);
}

Status Lock::status() const
{
    impl_->Refresh();
    return impl_->status;
}

namespace {

struct TokenRequest {
    std::string token;
    bool done = false;
};

void OnToken(void* data, xdg_activation_token_v1*, const char* token)
{
    auto* request = static_cast<TokenRequest*>(data);
    request->token = token ? token : "";
    request->done = true;
}

const xdg_activation_token_v1_listener kTokenListener = {OnToken};

void OnActivationGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                        uint32_t)
{
    if (!std::strcmp(interface, xdg_activation_v1_interface.name))
        *static_cast<xdg_activation_v1**>(data) = static_cast<xdg_activation_v1*>(
            wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
}

const wl_registry_listener kActivationRegistry = {OnActivationGlobal, OnGlobalRemove};

bool SocketAddress(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

} // namespace

std::string ActivationToken()
{
    if (const char* given = std::getenv("XDG_ACTIVATION_TOKEN"); given && *given)
        return given;
    // No launcher gave one: ask for one with no surface or input event, which a compositor may
    // refuse to honour; the running Tappy is full-screen anyway.
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return {};
    xdg_activation_v1* activation = nullptr;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kActivationRegistry, &activation);
    wl_display_roundtrip(display);
    TokenRequest request;
    if (activation) {
        xdg_activation_token_v1* token = xdg_activation_v1_get_activation_token(activation);
        xdg_activation_token_v1_add_listener(token, &kTokenListener, &request);
        xdg_activation_token_v1_set_app_id(token, kAppId);
        xdg_activation_token_v1_commit(token);
        // Bounded: a compositor that never answers leaves no token, not a hang.
        for (int i = 0; i < 4 && !request.done; ++i)
            if (wl_display_roundtrip(display) < 0)
                break;
        xdg_activation_token_v1_destroy(token);
        xdg_activation_v1_destroy(activation);
    }
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return request.token;
}

int ListenForRaise(const std::string& path)
{
    sockaddr_un address;
    if (!SocketAddress(path, address))
        return -1;
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    // The caller holds the instance lock, so a file left here belongs to an instance that died.
    unlink(path.c_str());
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool ReceiveRaise(int fd, std::string& token)
{
    bool asked = false;
    char buffer[512];
    for (;;) {
        const ssize_t n = recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT);
        if (n < 0)
            return asked;
        asked = true;
        const std::string got(buffer, static_cast<std::size_t>(n));
        if (!got.empty() &&
            std::all_of(got.begin(), got.end(), [](char c) { return c > 0x20 && c < 0x7F; }))
            token = got;
    }
}

bool SendRaise(const std::string& path, const std::string& token)
{
    sockaddr_un address;
    if (!SocketAddress(path, address))
        return false;
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool sent = sendto(fd, token.data(), token.size(), MSG_DONTWAIT,
                             reinterpret_cast<const sockaddr*>(&address), sizeof(address)) >= 0;
    close(fd);
    return sent;
}

} // namespace tappy::wayland

// SDL 2.26.5 crashes when a keyboard's modifiers reach it before any keymap (a virtual keyboard
// can do that): it hands libxkbcommon a state and keymap it never made. These two definitions
// stand in front of libxkbcommon's for the whole process, pass everything on unchanged, and
// drop only the calls that would read through null; SDL then keeps its defaults until a keymap
// comes.
extern "C" {
struct xkb_state;
struct xkb_keymap;
using xkb_mod_mask = uint32_t;
using xkb_layout_index = uint32_t;

int xkb_state_update_mask(xkb_state* state, xkb_mod_mask depressed, xkb_mod_mask latched,
                          xkb_mod_mask locked, xkb_layout_index depressedLayout,
                          xkb_layout_index latchedLayout, xkb_layout_index lockedLayout)
{
    using Real = int (*)(xkb_state*, xkb_mod_mask, xkb_mod_mask, xkb_mod_mask, xkb_layout_index,
                         xkb_layout_index, xkb_layout_index);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "xkb_state_update_mask"));
    if (!state || !real)
        return 0;
    return real(state, depressed, latched, locked, depressedLayout, latchedLayout, lockedLayout);
}

void xkb_keymap_key_for_each(xkb_keymap* keymap, void (*iter)(xkb_keymap*, uint32_t, void*),
                             void* data)
{
    using Real = void (*)(xkb_keymap*, void (*)(xkb_keymap*, uint32_t, void*), void*);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "xkb_keymap_key_for_each"));
    if (keymap && real)
        real(keymap, iter, data);
}
}
