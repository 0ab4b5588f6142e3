#pragma once
// Pixels on a Wayland window through shared memory. SDL 2.26 gives a Wayland window no software
// framebuffer, only a renderer: that loads a GL driver (about 180 MB resident at 1920x1080 with
// Mesa's software rasteriser) just to show the pixels Tappy already draws on the CPU. A canvas
// copies them into a wl_shm buffer the compositor is not reading and commits it to SDL's own
// surface instead.
#include <cstdint>
#include <memory>

struct wl_display;
struct wl_surface;

namespace tappy::wayland {

class Canvas {
public:
    // The display and surface are SDL's and outlive the canvas.
    Canvas(wl_display* display, wl_surface* surface);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Shows w x h pixels (XRGB8888, rows `pitch` bytes apart) on the surface. False when the
    // compositor offers no shared memory or none could be had; the surface then keeps what it
    // showed.
    bool Present(const void* pixels, int pitch, int w, int h);

    struct Impl; // the protocol objects; the listeners reach it

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace tappy::wayland
