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

void PlayFile(const char* path)
{
    PlaySoundA(path, nullptr, SND_FILENAME);
}

void HaltPlaying()
{
    PlaySoundA(nullptr, nullptr, 0);
}

// Everything the UI thread and the worker share, and the worker's seams.
struct SoundWorkerState {
    std::mutex slotLock;
    std::condition_variable slotChanged;
    CString strPath;
    std::atomic<bool> bPending{false};
    std::atomic<bool> bPlaying{false};
    std::atomic<bool> bRunning{false};
    std::atomic<bool> bStop{false};
    std::atomic<SoundPlayFunction> play{&PlayFile};
    std::atomic<SoundHaltFunction> halt{&HaltPlaying};
    std::atomic<SoundUpkeepFunction> upkeep{&SoundKeepDevice};
};

// The one owner of the worker's state, made on first use and never destroyed: the play window
// starts the worker during static construction, which may come before this file's own, and it
// may still be stopping it during static destruction, after this file's objects would be gone
// (a condition variable destroyed under a waiting worker hangs the exit).
SoundWorkerState& State()
{
    static auto* const state = new SoundWorkerState();
    return *state;
}

constexpr auto kIdleTimeout = std::chrono::milliseconds(300);
constexpr DWORD kStopPollMs = 50;

} // namespace

CString& g_strSoundPath = State().strPath;
std::atomic<bool>& g_bSoundPending = State().bPending;
std::atomic<bool>& g_bSoundPlaying = State().bPlaying;
std::atomic<bool>& g_bWorkerRunning = State().bRunning;
std::atomic<bool>& g_bWorkerStop = State().bStop;

void PostSoundRequest(const CString& path)
{
    SoundWorkerState& s = State();
    {
        std::lock_guard<std::mutex> lock(s.slotLock);
        s.strPath = path;
        s.bPending = true;
    }
    s.slotChanged.notify_one();
}

void SoundWorker(void* /*arg*/)
{
    SoundWorkerState& s = State();
    s.bRunning = true;
    std::unique_lock<std::mutex> lock(s.slotLock);
    while (!s.bStop) {
        if (!s.bPending) {
            s.slotChanged.wait_for(lock, kIdleTimeout);
            if (s.bPending || s.bStop)
                continue;
            // Outside the lock: bringing a device back may take a while, and posting must not.
            lock.unlock();
            s.upkeep.load()();
            lock.lock();
            continue;
        }
        // Playing is set before pending is cleared, so the UI thread never sees both clear
        // while a request is being taken; the copy lets it overwrite the slot meanwhile.
        const CString path = s.strPath;
        s.bPlaying = true;
        s.bPending = false;
        lock.unlock();
        if (!path.IsEmpty())
            s.play.load()(path);
        s.bPlaying = false;
        lock.lock();
    }
    lock.unlock();
    // The last thing the worker touches: once this is clear, the owner may go on.
    s.bRunning = false;
}

void StartSoundWorker()
{
    // Marked running before the thread exists, so that a stop right after the start still waits
    // for the worker instead of letting it outlive its owner.
    State().bRunning = true;
    if (!crt::_beginthread(SoundWorker, 0, nullptr))
        State().bRunning = false;
}

void StopSoundWorker()
{
    SoundWorkerState& s = State();
    const bool wasRunning = s.bRunning;
    {
        std::lock_guard<std::mutex> lock(s.slotLock);
        s.bStop = true;
    }
    s.slotChanged.notify_one();
    if (!wasRunning)
        return;
    // Past the bound the stop is repeated at every step: one sent just before the worker entered
    // the play call would have found nothing to stop.
    for (unsigned waited = 0; s.bRunning; waited += kStopPollMs) {
        if (waited >= kSoundStopWaitMs + kSoundStopGraceMs)
            return;
        if (waited >= kSoundStopWaitMs)
            s.halt.load()();
        Sleep(kStopPollMs);
    }
}

void SetSoundPlayFunction(SoundPlayFunction play)
{
    State().play = play ? play : &PlayFile;
}

void SetSoundHaltFunction(SoundHaltFunction halt)
{
    State().halt = halt ? halt : &HaltPlaying;
}

void SetSoundUpkeepFunction(SoundUpkeepFunction upkeep)
{
    State().upkeep = upkeep ? upkeep : &SoundKeepDevice;
}

void ResetSoundWorkerForTest()
{
    SoundWorkerState& s = State();
    std::lock_guard<std::mutex> lock(s.slotLock);
    s.strPath.Empty();
    s.bPending = false;
    s.bPlaying = false;
    s.bRunning = false;
    s.bStop = false;
}
