#pragma once
// The single sound request slot shared by the play window and the background worker, and the
// worker that plays one request at a time, to its end.
#include "platform/cstring.h"

#include <atomic>

// The design's names for the slot and the flags. They refer into the worker's one state object,
// which lives for the whole process (see sound_worker.cpp), so they are valid from the first
// call into this file until the process ends.
extern CString& g_strSoundPath;             // guarded by the slot's lock
extern std::atomic<bool>& g_bSoundPending;  // set by the UI thread, cleared by the worker
extern std::atomic<bool>& g_bSoundPlaying;  // worker: inside the play call
extern std::atomic<bool>& g_bWorkerRunning; // worker: started and not yet left its loop
extern std::atomic<bool>& g_bWorkerStop;    // owner: the worker must leave its loop

// Posting: path and pending flag are written as one step against the worker's taking.
void PostSoundRequest(const CString& path);

// The thread body; arg is always null.
void SoundWorker(void* arg);

// Starts the worker thread (once per process in the program; tests may start it again after
// ResetSoundWorkerForTest).
void StartSoundWorker();
// Sets the stop flag and, if the worker had been running, waits in 50 ms steps until it has
// left its loop. A playing sound may end by itself for kSoundStopWaitMs; after that it is
// stopped, so an hours-long file cannot hold the exit. Returns at once when it never started.
// A worker still in the audio driver kSoundStopGraceMs after that (an open that a half-started
// sound server never answers) is left there; the platform's shut-down then finds the device
// still held and ends the process without closing the audio under it.
constexpr unsigned kSoundStopWaitMs = 3000;
constexpr unsigned kSoundStopGraceMs = 500;
void StopSoundWorker();

// Test seam: what the worker calls to play a path (default: PlaySoundA with SND_FILENAME).
using SoundPlayFunction = void (*)(const char* path);
void SetSoundPlayFunction(SoundPlayFunction play);
// Test seam: what stops a playing sound (default: PlaySoundA(NULL, NULL, 0)).
using SoundHaltFunction = void (*)();
void SetSoundHaltFunction(SoundHaltFunction halt);
// Test seam: what the idle worker calls at each wake that brought no request, outside the slot's
// lock (default: SoundKeepDevice, which brings back an audio device that has gone away).
using SoundUpkeepFunction = void (*)();
void SetSoundUpkeepFunction(SoundUpkeepFunction upkeep);
// Test seam: clears every flag and the slot; only valid while no worker runs.
void ResetSoundWorkerForTest();
