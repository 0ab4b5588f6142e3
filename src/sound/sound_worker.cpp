// The sound request slot and its worker. The worker waits on a condition variable with the
// same 300 ms time-out that a plain poll would sleep, so a request is taken as soon as it is
// posted and never later than one time-out; everything else is as a polling loop would do it.
#include "sound/sound_worker.h"

#include "platform/runtime.h"
#include "platform/sound.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {
std::mutex g_slotLock;
// Made on first use and never destroyed: the play window starts the worker during static
// construction, which may come before this file's own, and a condition variable constructed
// under a waiting worker breaks its count of waiters (the process then hangs at exit in its
// destructor).
std::condition_variable& SlotChanged()
{
    static auto* changed = new std::condition_variable();
    return *changed;
}

void PlayFile(const char* path)
{
    PlaySoundA(path, nullptr, SND_FILENAME);
}

void HaltPlaying()
{
    PlaySoundA(nullptr, nullptr, 0);
}

std::atomic<SoundPlayFunction> g_playFunction{&PlayFile};
std::atomic<SoundHaltFunction> g_haltFunction{&HaltPlaying};

constexpr auto kIdleTimeout = std::chrono::milliseconds(300);
constexpr DWORD kStopPollMs = 50;
} // namespace

CString g_strSoundPath;
std::atomic<bool> g_bSoundPending{false};
std::atomic<bool> g_bSoundPlaying{false};
std::atomic<bool> g_bWorkerRunning{false};
std::atomic<bool> g_bWorkerStop{false};

namespace {
// Static destruction runs in the reverse order of construction only within one file, and the
// play window that normally stops the worker lives in another. This guard, defined after the
// slot, is destroyed before it, so a worker still running at exit is stopped (its sound played
// out) before the string it reads goes away.
struct SlotGuard {
    SlotGuard() = default;
    SlotGuard(const SlotGuard&) = delete;
    SlotGuard& operator=(const SlotGuard&) = delete;
    ~SlotGuard() { StopSoundWorker(); }
} g_slotGuard;
} // namespace

void PostSoundRequest(const CString& path)
{
    {
        std::lock_guard<std::mutex> lock(g_slotLock);
        g_strSoundPath = path;
        g_bSoundPending = true;
    }
    SlotChanged().notify_one();
}

void SoundWorker(void* /*arg*/)
{
    g_bWorkerRunning = true;
    std::unique_lock<std::mutex> lock(g_slotLock);
    while (!g_bWorkerStop) {
        if (!g_bSoundPending) {
            SlotChanged().wait_for(lock, kIdleTimeout);
            continue;
        }
        // Playing is set before pending is cleared, so the UI thread never sees both clear
        // while a request is being taken; the copy lets it overwrite the slot meanwhile.
        const CString path = g_strSoundPath;
        g_bSoundPlaying = true;
        g_bSoundPending = false;
        lock.unlock();
        if (!path.IsEmpty())
            g_playFunction.load()(path);
        g_bSoundPlaying = false;
        lock.lock();
    }
    lock.unlock();
    // The last thing the worker touches: once this is clear, the owner may tear everything down.
    g_bWorkerRunning = false;
}

void StartSoundWorker()
{
    // Marked running before the thread exists, so that a stop right after the start still waits
    // for the worker instead of letting it outlive the slot.
    g_bWorkerRunning = true;
    if (!crt::_beginthread(SoundWorker, 0, nullptr))
        g_bWorkerRunning = false;
}

void StopSoundWorker()
{
    const bool wasRunning = g_bWorkerRunning;
    {
        std::lock_guard<std::mutex> lock(g_slotLock);
        g_bWorkerStop = true;
    }
    SlotChanged().notify_one();
    if (!wasRunning)
        return;
    // Past the bound the stop is repeated at every step: one sent just before the worker entered
    // the play call would have found nothing to stop.
    for (unsigned waited = 0; g_bWorkerRunning; waited += kStopPollMs) {
        if (waited >= kSoundStopWaitMs)
            g_haltFunction.load()();
        Sleep(kStopPollMs);
    }
}

void SetSoundPlayFunction(SoundPlayFunction play)
{
    g_playFunction = play ? play : &PlayFile;
}

void SetSoundHaltFunction(SoundHaltFunction halt)
{
    g_haltFunction = halt ? halt : &HaltPlaying;
}

void ResetSoundWorkerForTest()
{
    std::lock_guard<std::mutex> lock(g_slotLock);
    g_strSoundPath.Empty();
    g_bSoundPending = false;
    g_bSoundPlaying = false;
    g_bWorkerRunning = false;
    g_bWorkerStop = false;
}
