#pragma once
// Decoded pictures for the screen, decoded ahead of need on a low-priority thread and checked
// in the background, each decode in a child process (see isolated.h) so that a decoder that
// crashes, hangs or runs away with memory takes only that process with it. The checks run in
// one long-lived child and are remembered between runs (verdict_cache.h): a later start with an
// unchanged library checks nothing.
//
// Bound: at most kCachedPictures decoded copies, each no larger than the box it was fitted to
// (the screen), 4 bytes a pixel: 3 x 8.3 MB at 1920 x 1080. On top of that, while a decode runs,
// its output (one more such copy) in a shared mapping; the decoder's own working memory lives
// in the child and goes with it.
#include "platform/codec/codec.h"
#include "platform/codec/isolated.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace codec {
constexpr int kCachedPictures = 3;

struct PictureJob {
    std::uint64_t id;
    std::string path;
};

// Thread-safe; one per process (Store()). Ids are the caller's and never reused.
class PictureStore {
public:
    // The verdicts are remembered in DefaultVerdictFile(), or in verdictFile (empty: nowhere).
    PictureStore();
    explicit PictureStore(std::string verdictFile);
    ~PictureStore();
    PictureStore(const PictureStore&) = delete;
    PictureStore& operator=(const PictureStore&) = delete;

    // The picture fitted to fitW x fitH: from the cache, or by waiting for the background
    // decode of it, or decoded now. Null when it does not decode (remembered for good).
    std::shared_ptr<const Picture> Get(const PictureJob& job, int fitW, int fitH);
    // The pictures most likely to be asked for next, most likely first; replaces the last set.
    void DecodeAhead(const std::vector<PictureJob>& jobs, int fitW, int fitH);
    // Queues a check of each picture, behind anything asked for ahead.
    void Verify(const std::vector<PictureJob>& jobs);
    bool DoesNotDecode(std::uint64_t id);
    // Drops everything kept about a picture.
    void Forget(std::uint64_t id);
    // Waits until nothing is queued or being decoded, and the verdicts are written (tests and
    // benchmarks).
    void WaitIdle();
    // Stops the thread (a decode or check in progress is abandoned, its child killed; a decode
    // the window waits for goes on); everything else keeps working.
    void Shutdown();

private:
    struct State;
    void Run();
    std::unique_ptr<State> m;
};

PictureStore& Store();
} // namespace codec
