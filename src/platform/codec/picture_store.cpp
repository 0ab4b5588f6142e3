#include "platform/codec/picture_store.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TAPPY_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TAPPY_SANITIZED 1
#endif
#endif

namespace codec {
namespace {
// The slowest honest decode (100 megapixels of progressive JPEG) takes a few seconds; a child
// still running after this is stuck.
constexpr unsigned kDecodeSeconds = 20;
constexpr std::chrono::milliseconds kSettle{40};

struct Header {
    std::int32_t width;
    std::int32_t height;
    std::uint32_t opaque;
};

void LimitChild(pid_t parent)
{
    // The child shares the parent's open files, the X connection and the one-instance lock
    // among them: while it ran on after the parent was killed, the display would keep the
    // parent's grabs and a new start would find Tappy "already running". It goes with the
    // parent, and it keeps none of those files.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(1);
    close_range(3, ~0U, 0);
    signal(SIGALRM, SIG_DFL);
    alarm(kDecodeSeconds);
#ifndef TAPPY_SANITIZED
    // Sanitizers reserve terabytes of shadow memory, so the cap is left to plain builds: the
    // address space a decode may add to what the child starts with.
    constexpr rlim_t kDecodeAddressSpace = rlim_t{1024} << 20;
    unsigned long pages = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lu", &pages) != 1)
            pages = 0;
        std::fclose(f);
    }
    const rlim_t now = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
    const rlimit limit{now + kDecodeAddressSpace, now + kDecodeAddressSpace};
    setrlimit(RLIMIT_AS, &limit);
#endif
}

bool DecodeHere(const std::string& path, int fitW, int fitH, Picture* out)
{
    const auto file = FileSource::Open(path);
    return file && Decode(*file, fitW, fitH, out);
}

std::atomic<pid_t> g_workerChild{0};
} // namespace

bool DecodeIsolated(const std::string& path, int fitW, int fitH, Picture* out)
{
    if (fitW <= 0 || fitH <= 0 || std::uint64_t(fitW) * std::uint64_t(fitH) > kMaxPixels)
        return false;
    const std::size_t capacity = std::size_t(fitW) * std::size_t(fitH);
    const std::size_t bytes = sizeof(Header) + capacity * 4;
    void* map = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED)
        return false;
    auto* header = static_cast<Header*>(map);
    auto* pixels = reinterpret_cast<std::uint32_t*>(header + 1);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        LimitChild(parent);
        Picture p;
        if (!DecodeHere(path, fitW, fitH, &p) ||
            std::size_t(p.width) * std::size_t(p.height) > capacity)
            _exit(1);
        header->width = p.width;
        header->height = p.height;
        header->opaque = p.opaque;
        std::memcpy(pixels, p.pixels.data(), p.pixels.size() * 4);
        _exit(0);
    }
    if (pid < 0) {
        munmap(map, bytes);
        return DecodeHere(path, fitW, fitH, out); // no process to spare: decode here
    }
    const bool worker = g_workerChild.load() == -1;
    if (worker)
        g_workerChild = pid;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (worker)
        g_workerChild = -1;
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && header->width > 0 &&
                    header->height > 0 &&
                    std::size_t(header->width) * std::size_t(header->height) <= capacity;
    if (ok) {
        out->width = header->width;
        out->height = header->height;
        out->opaque = header->opaque != 0;
        out->pixels.assign(pixels, pixels + std::size_t(out->width) * out->height);
    }
    munmap(map, bytes);
    return ok;
}

struct PictureStore::State {
    struct Entry {
        std::uint64_t id;
        int fitW, fitH;
        std::shared_ptr<const Picture> picture;
        std::uint64_t used;
    };
    std::mutex mu;
    std::condition_variable cv;
    std::vector<Entry> cache;
    std::unordered_set<std::uint64_t> broken, checked, gone;
    std::vector<PictureJob> ahead;
    int aheadW = 0, aheadH = 0;
    std::chrono::steady_clock::time_point aheadAsked;
    std::deque<PictureJob> verify;
    int verifyW = 0, verifyH = 0;
    std::uint64_t workerBusy = 0, uiBusy = 0, clock = 0, shown = 0;
    bool stop = false;
    std::thread thread;

    Entry* Find(std::uint64_t id, int w, int h)
    {
        for (Entry& e : cache)
            if (e.id == id && e.fitW == w && e.fitH == h)
                return &e;
        return nullptr;
    }
    bool IsAhead(std::uint64_t id) const
    {
        return std::any_of(ahead.begin(), ahead.end(),
                           [&](const PictureJob& j) { return j.id == id; });
    }
    // Keeps the picture on screen and those asked for ahead; the least recently used goes.
    void Insert(std::uint64_t id, int w, int h, std::shared_ptr<const Picture> picture)
    {
        if (Find(id, w, h))
            return;
        cache.push_back(Entry{id, w, h, std::move(picture), ++clock});
        while (cache.size() > static_cast<std::size_t>(kCachedPictures)) {
            auto victim = cache.end();
            for (bool strict : {true, false}) {
                for (auto it = cache.begin(); it != cache.end(); ++it) {
                    if (it->id == id || (strict && (it->id == shown || IsAhead(it->id))))
                        continue;
                    if (victim == cache.end() || it->used < victim->used)
                        victim = it;
                }
                if (victim != cache.end())
                    break;
            }
            cache.erase(victim);
        }
    }
    // The next job for the worker: ahead first, then checks. keep: its result goes in the cache.
    bool Next(PictureJob* job, int* w, int* h, bool* keep)
    {
        for (const PictureJob& j : ahead) {
            if (!broken.count(j.id) && !gone.count(j.id) && !Find(j.id, aheadW, aheadH) &&
                uiBusy != j.id) {
                *job = j;
                *w = aheadW;
                *h = aheadH;
                *keep = true;
                return true;
            }
        }
        while (!verify.empty()) {
            PictureJob j = std::move(verify.front());
            verify.pop_front();
            if (broken.count(j.id) || checked.count(j.id) || gone.count(j.id) || uiBusy == j.id)
                continue;
            *job = std::move(j);
            *w = verifyW;
            *h = verifyH;
            *keep = false;
            return true;
        }
        return false;
    }
};

PictureStore::PictureStore() : m(std::make_unique<State>()) {}

PictureStore::~PictureStore()
{
    Shutdown();
}

void PictureStore::Shutdown()
{
    {
        std::lock_guard<std::mutex> lock(m->mu);
        m->stop = true;
        m->verify.clear();
        m->ahead.clear();
    }
    m->cv.notify_all();
    // A decode in progress is not waited for.
    const pid_t child = g_workerChild.load();
    if (child > 0)
        kill(child, SIGKILL);
    if (m->thread.joinable())
        m->thread.join();
}

void PictureStore::Run()
{
    // Checks and decoding ahead must never take the CPU from the window.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
    g_workerChild = -1;
    std::unique_lock<std::mutex> lock(m->mu);
    while (!m->stop) {
        PictureJob job;
        int w = 0, h = 0;
        bool keep = false;
        if (!m->Next(&job, &w, &h, &keep)) {
            m->cv.notify_all();
            m->cv.wait(lock);
            continue;
        }
        // Asked for right after a paint, whose copy to the screen is still running: a fork now
        // would make every page that copy writes a copy-on-write fault in the window's thread.
        const auto settle = m->aheadAsked + kSettle;
        if (keep && std::chrono::steady_clock::now() < settle) {
            m->cv.wait_until(lock, settle); // an ahead job stays listed; it is taken again
            continue;
        }
        m->workerBusy = job.id;
        lock.unlock();
        auto picture = std::make_shared<Picture>();
        const bool ok = DecodeIsolated(job.path, w, h, picture.get());
        lock.lock();
        m->workerBusy = 0;
        if (m->gone.count(job.id) || m->stop) {
        } else if (!ok) {
            m->broken.insert(job.id);
        } else {
            m->checked.insert(job.id);
            if (keep || m->IsAhead(job.id))
                m->Insert(job.id, w, h, std::move(picture));
        }
        m->cv.notify_all();
    }
}

std::shared_ptr<const Picture> PictureStore::Get(const PictureJob& job, int fitW, int fitH)
{
    std::unique_lock<std::mutex> lock(m->mu);
    if (m->broken.count(job.id))
        return nullptr;
    if (State::Entry* e = m->Find(job.id, fitW, fitH)) {
        e->used = ++m->clock;
        m->shown = job.id;
        return e->picture;
    }
    // Even when the worker is decoding this very picture, it is decoded here again rather than
    // waited for: the worker runs at low priority, and the window must never wait on it (while
    // it waits, it answers no focus or grab event).
    m->uiBusy = job.id;
    lock.unlock();
    auto picture = std::make_shared<Picture>();
    const bool ok = DecodeIsolated(job.path, fitW, fitH, picture.get());
    lock.lock();
    m->uiBusy = 0;
    m->cv.notify_all();
    if (m->gone.count(job.id))
        return ok ? picture : nullptr;
    if (!ok) {
        m->broken.insert(job.id);
        return nullptr;
    }
    m->checked.insert(job.id);
    m->shown = job.id;
    m->Insert(job.id, fitW, fitH, picture);
    return picture;
}

void PictureStore::DecodeAhead(const std::vector<PictureJob>& jobs, int fitW, int fitH)
{
    std::lock_guard<std::mutex> lock(m->mu);
    m->ahead = jobs;
    m->aheadW = fitW;
    m->aheadH = fitH;
    m->aheadAsked = std::chrono::steady_clock::now();
    if (!m->thread.joinable() && !m->stop)
        m->thread = std::thread([this] { Run(); });
    m->cv.notify_all();
}

void PictureStore::Verify(const std::vector<PictureJob>& jobs, int fitW, int fitH)
{
    std::lock_guard<std::mutex> lock(m->mu);
    m->verify.insert(m->verify.end(), jobs.begin(), jobs.end());
    m->verifyW = fitW;
    m->verifyH = fitH;
    if (!m->thread.joinable() && !m->stop)
        m->thread = std::thread([this] { Run(); });
    m->cv.notify_all();
}

bool PictureStore::DoesNotDecode(std::uint64_t id)
{
    std::lock_guard<std::mutex> lock(m->mu);
    return m->broken.count(id) != 0;
}

void PictureStore::Forget(std::uint64_t id)
{
    std::lock_guard<std::mutex> lock(m->mu);
    m->gone.insert(id);
    m->broken.erase(id);
    m->checked.erase(id);
    std::erase_if(m->cache, [&](const State::Entry& e) { return e.id == id; });
    std::erase_if(m->ahead, [&](const PictureJob& j) { return j.id == id; });
}

void PictureStore::WaitIdle()
{
    std::unique_lock<std::mutex> lock(m->mu);
    if (!m->thread.joinable())
        return;
    m->cv.wait(lock, [&] {
        PictureJob job;
        int w, h;
        bool keep;
        const bool more = m->Next(&job, &w, &h, &keep);
        if (more && !keep)
            m->verify.push_front(job); // Next took it from the queue; put it back
        return !more && m->workerBusy == 0;
    });
}

// Never destroyed: picture objects are released during static destruction in no fixed order
// relative to this file, and must still find the store. Its thread is stopped at exit.
PictureStore& Store()
{
    static PictureStore* const store = new PictureStore;
    return *store;
}

namespace {
struct StopAtExit {
    ~StopAtExit() { Store().Shutdown(); }
} g_stopAtExit;
} // namespace
} // namespace codec
