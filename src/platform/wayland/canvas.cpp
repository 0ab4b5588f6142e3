#include "platform/wayland/canvas.h"

#include "platform/wayland/queue.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstring>
#include <vector>

namespace tappy::wayland {

namespace {

// Two are enough while the compositor copies or reads one; a third is made only when it holds
// both, so a slow compositor costs memory up to that bound, never a wait.
constexpr std::size_t kMostBuffers = 3;

struct Buffer {
    wl_buffer* buffer = nullptr;
    void* data = nullptr;
    std::size_t size = 0;
    int w = 0, h = 0;
    bool busy = false;
};

void OnRelease(void* data, wl_buffer*)
{
    static_cast<Buffer*>(data)->busy = false;
}

const wl_buffer_listener kBufferListener = {OnRelease};

void Release(Buffer& b)
{
    if (b.buffer)
        wl_buffer_destroy(b.buffer);
    if (b.data)
        munmap(b.data, b.size);
    b = Buffer{};
}

} // namespace

struct Canvas::Impl {
    wl_display* display = nullptr;
    wl_surface* surface = nullptr;
    wl_event_queue* queue = nullptr;
    wl_registry* registry = nullptr;
    wl_shm* shm = nullptr;
    // Listeners hold pointers into it: it never reallocates (reserved once).
    std::vector<Buffer> buffers;

    Buffer* Acquire(int w, int h);
    bool Make(Buffer& b, int w, int h);
};

namespace {

void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    auto* impl = static_cast<Canvas::Impl*>(data);
    if (!impl->shm && !std::strcmp(interface, wl_shm_interface.name))
        impl->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

} // namespace

bool Canvas::Impl::Make(Buffer& b, int w, int h)
{
    Release(b);
    const std::size_t stride = static_cast<std::size_t>(w) * 4;
    const std::size_t size = stride * static_cast<std::size_t>(h);
    const int fd = memfd_create("tappy-canvas", MFD_CLOEXEC);
    if (fd < 0)
        return false;
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        return false;
    }
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        close(fd);
        return false;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(size));
    b.buffer = wl_shm_pool_create_buffer(pool, 0, w, h, static_cast<int32_t>(stride),
                                         WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_buffer_add_listener(b.buffer, &kBufferListener, &b);
    b.data = data;
    b.size = size;
    b.w = w;
    b.h = h;
    return true;
}

Buffer* Canvas::Impl::Acquire(int w, int h)
{
    ReadAndDispatch(display, queue);
    for (Buffer& b : buffers)
        if (!b.busy && (b.w != w || b.h != h))
            Release(b);
    for (Buffer& b : buffers)
        if (!b.busy && b.buffer)
            return &b;
    for (Buffer& b : buffers)
        if (!b.buffer)
            return Make(b, w, h) ? &b : nullptr;
    if (buffers.size() < kMostBuffers) {
        buffers.emplace_back();
        return Make(buffers.back(), w, h) ? &buffers.back() : nullptr;
    }
    return nullptr;
}

Canvas::Canvas(wl_display* display, wl_surface* surface) : impl_(std::make_unique<Impl>())
{
    Impl& impl = *impl_;
    impl.display = display;
    impl.surface = surface;
    impl.buffers.reserve(kMostBuffers);
    if (!display || !surface)
        return;
    impl.queue = wl_display_create_queue(display);
    impl.registry = RegistryOnQueue(display, impl.queue);
    wl_registry_add_listener(impl.registry, &kRegistryListener, &impl);
    wl_display_roundtrip_queue(display, impl.queue);
}

Canvas::~Canvas()
{
    Impl& impl = *impl_;
    if (!impl.queue)
        return;
    for (Buffer& b : impl.buffers)
        Release(b);
    if (impl.shm)
        wl_shm_destroy(impl.shm);
    wl_registry_destroy(impl.registry);
    wl_display_flush(impl.display);
    wl_event_queue_destroy(impl.queue);
}

bool Canvas::Present(const void* pixels, int pitch, int w, int h)
{
    Impl& impl = *impl_;
    if (!impl.shm || !pixels || w <= 0 || h <= 0)
        return false;
    Buffer* b = impl.Acquire(w, h);
    if (!b)
        return false;
    const std::size_t row = static_cast<std::size_t>(w) * 4;
    for (int y = 0; y < h; ++y)
        std::memcpy(static_cast<char*>(b->data) + row * static_cast<std::size_t>(y),
                    static_cast<const char*>(pixels) + static_cast<std::ptrdiff_t>(pitch) * y, row);
    b->busy = true;
    wl_surface_attach(impl.surface, b->buffer, 0, 0);
    wl_surface_damage(impl.surface, 0, 0, w, h);
    wl_surface_commit(impl.surface);
    wl_display_flush(impl.display);
    return true;
}

} // namespace tappy::wayland
