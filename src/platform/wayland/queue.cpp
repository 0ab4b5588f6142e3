#include "platform/wayland/queue.h"

#include <poll.h>
#include <wayland-client.h>

namespace tappy::wayland {

wl_registry* RegistryOnQueue(wl_display* display, wl_event_queue* queue)
{
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    wl_registry* registry = wl_display_get_registry(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    return registry;
}

void ReadAndDispatch(wl_display* display, wl_event_queue* queue)
{
    wl_display_flush(display);
    while (wl_display_prepare_read_queue(display, queue) != 0)
        wl_display_dispatch_queue_pending(display, queue);
    pollfd pfd{wl_display_get_fd(display), POLLIN, 0};
    if (poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN))
        wl_display_read_events(display);
    else
        wl_display_cancel_read(display);
    wl_display_dispatch_queue_pending(display, queue);
}

bool Failed(wl_display* display)
{
    return wl_display_get_error(display) != 0;
}

} // namespace tappy::wayland
