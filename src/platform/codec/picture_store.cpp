#include "platform/codec/picture_store.h"

#include "platform/codec/isolated.h"
#include "platform/codec/verdict_cache.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace codec {
namespace {
constexpr std::chrono::milliseconds kSettle{40};
// Verdicts learned since the cache was last written, at most, that a killed run loses.
constexpr int kSaveEvery = 1000;
} // namespace

struct PictureStore::State {
    struct Entry {
        std::uint64_t id;
        int fitW, fitH;
        std::shared_ptr<const Picture> picture;
        std::uint64_t used;
    };
    explicit State(std::string verdictFile) : verdicts(std::move(verdictFile)) {}

    std::mutex mu;
    std::condition_variable cv;
    std::vector<Entry> cache;
    std::unordered_set<std::uint64_t> broken, checked, gone;
    std::vector<PictureJob> ahead;
    int aheadW = 0, aheadH = 0;
    std::chrono::steady_clock::time_point aheadAsked;
    std::deque<PictureJob> verify;
    bool saveDue = false, saving = false;
    std::uint64_t workerBusy = 0, uiBusy = 0, clock = 0, shown = 0;
    bool stop = false;
    // The worker's own: the child it waits for, the checker and the verdicts between runs.
    ChildSlot workerChild;
    Checker checker{&workerChild};
    VerdictCache verdicts;
    int unsaved = 0;
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
        // Even a picture known already is looked at, so that its verdict is remembered.
        while (!verify.empty()) {
            PictureJob j = std::move(verify.front());
            verify.pop_front();
            if (gone.count(j.id))
                continue;
            *job = std::move(j);
            *keep = false;
            return true;
        }
        return false;
    }
    // The verdict on a picture, from the cache or from the checker; called unlocked.
    void CheckUnlocked(std::unique_lock<std::mutex>& lock, const PictureJob& job);
    void DecodeAheadUnlocked(std::unique_lock<std::mutex>& lock, const PictureJob& job, int w,
                             int h);
};

void PictureStore::State::CheckUnlocked(std::unique_lock<std::mutex>& lock, const PictureJob& job)
{
    const bool known = broken.count(job.id) != 0;
    lock.unlock();
    const auto key = KeyOf(job.path);
    auto verdict = key ? verdicts.Find(*key) : std::nullopt;
    const bool learned = key && !verdict;
    if (!verdict)
        verdict = known ? Verdict{} : checker.Check(job.path);
    lock.lock();
    // A check cut short by the shutdown says nothing about the file.
    if (stop || gone.count(job.id))
        return;
    if (!verdict->decodes && !checked.count(job.id))
        broken.insert(job.id);
    else if (verdict->decodes)
        checked.insert(job.id);
    if (learned) {
        verdicts.Put(*key, *verdict);
        if (++unsaved >= kSaveEvery) {
            unsaved = 0;
            lock.unlock();
            verdicts.Save(false);
            lock.lock();
        }
    }
}

void PictureStore::State::DecodeAheadUnlocked(std::unique_lock<std::mutex>& lock,
                                              const PictureJob& job, int w, int h)
{
    lock.unlock();
    auto picture = std::make_shared<Picture>();
    const bool ok = DecodeIsolated(job.path, w, h, picture.get(), &workerChild);
    lock.lock();
    if (gone.count(job.id) || stop) {
    } else if (!ok) {
        broken.insert(job.id);
    } else {
        checked.insert(job.id);
        if (IsAhead(job.id))
            Insert(job.id, w, h, std::move(picture));
    }
}

PictureStore::PictureStore() : PictureStore(DefaultVerdictFile()) {}

PictureStore::PictureStore(std::string verdictFile)
    : m(std::make_unique<State>(std::move(verdictFile)))
{
}

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
    // A decode or check in progress is not waited for.
    m->workerChild.Close();
    if (m->thread.joinable())
        m->thread.join();
}

void PictureStore::Run()
{
    // Checks and decoding ahead must never take the CPU from the window.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
    std::unique_lock<std::mutex> lock(m->mu);
    while (!m->stop) {
        PictureJob job;
        int w = 0, h = 0;
        bool keep = false;
        if (!m->Next(&job, &w, &h, &keep)) {
            // Nothing left to check: the checker goes, and what it found is written down.
            m->checker.Stop();
            if (m->saveDue) {
                m->saveDue = false;
                m->saving = true;
                m->unsaved = 0;
                lock.unlock();
                m->verdicts.Save(true);
                lock.lock();
                m->saving = false;
                continue;
            }
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
        if (keep)
            m->DecodeAheadUnlocked(lock, job, w, h);
        else
            m->CheckUnlocked(lock, job);
        m->workerBusy = 0;
        m->cv.notify_all();
    }
    m->checker.Stop();
    if (m->unsaved > 0)
        m->verdicts.Save(false);
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

void PictureStore::Verify(const std::vector<PictureJob>& jobs)
{
    std::lock_guard<std::mutex> lock(m->mu);
    m->verify.insert(m->verify.end(), jobs.begin(), jobs.end());
    m->saveDue = true;
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
        return !more && m->workerBusy == 0 && !m->saving && !m->saveDue;
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
