#pragma once
// Decoded pictures for the screen, decoded ahead of need on a low-priority thread and checked
// in the background, each decode in a short-lived child process so that a decoder that
// crashes, hangs or runs away with memory takes only that process with it.
//
// Bound: at most kCachedPictures decoded copies, each no larger than the box it was fitted to
// (the screen), 4 bytes a pixel: 3 x 8.3 MB at 1920 x 1080. On top of that, while a decode runs,
// its output (one more such copy) in a shared mapping; the decoder's own working memory lives
// in the child and goes with it.
#include "platform/codec/codec.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace codec {
constexpr int kCachedPictures = 3;

// Decodes in a child process; false when it does not decode, crashes, or is killed.
bool DecodeIsolated(const std::string& path, int fitW, int fitH, Picture* out);

struct PictureJob {
    std::uint64_t id;
    std::string path;
};

// Thread-safe; one per process (Store()). Ids are the caller's and never reused.
class PictureStore {
public:
    PictureStore();
    ~PictureStore();
    PictureStore(const PictureStore&) = delete;
    PictureStore& operator=(const PictureStore&) = delete;

    // The picture fitted to fitW x fitH: from the cache, or by waiting for the background
    // decode of it, or decoded now. Null when it does not decode (remembered for good).
    std::shared_ptr<const Picture> Get(const PictureJob& job, int fitW, int fitH);
    // The pictures most likely to be asked for next, most likely first; replaces the last set.
    void DecodeAhead(const std::vector<PictureJob>& jobs, int fitW, int fitH);
    // Queues a check of each picture, behind anything asked for ahead.
    void Verify(const std::vector<PictureJob>& jobs, int fitW, int fitH);
    bool DoesNotDecode(std::uint64_t id);
    // Drops everything kept about a picture.
    void Forget(std::uint64_t id);
    // Waits until nothing is queued or being decoded (tests and benchmarks).
    void WaitIdle();
    // Stops the thread (a decode in progress is abandoned); everything else keeps working.
    void Shutdown();

private:
    struct State;
    void Run();
    std::unique_ptr<State> m;
};

PictureStore& Store();
} // namespace codec
