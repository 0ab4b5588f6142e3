#pragma once
// The Wayland backend's objects live on event queues of their own, so that SDL's dispatching
// never runs their listeners and their round trips never run SDL's.
struct wl_display;
struct wl_event_queue;
struct wl_registry;

namespace tappy::wayland {

// A registry whose objects are on `queue`.
wl_registry* RegistryOnQueue(wl_display* display, wl_event_queue* queue);

// Reads what waits on the socket without blocking (SDL reads it too; the library hands each
// reader the events of its own queue) and runs the listeners of `queue`.
void ReadAndDispatch(wl_display* display, wl_event_queue* queue);

// The connection has failed for good: the compositor has gone, or ended it.
bool Failed(wl_display* display);

} // namespace tappy::wayland
