#pragma once
// Decoding and checking in child processes, so that a decoder that crashes, hangs or runs away
// with memory takes only that process with it. Each child is limited as the decode it runs
// needs: it dies with Tappy, keeps none of Tappy's files, is killed by an alarm when stuck, and
// (in plain builds) may add at most a fixed address space to what it started with.
#include "platform/codec/codec.h"
#include "platform/codec/verdict_cache.h"

#include <mutex>
#include <string>
#include <sys/types.h>

namespace codec {
// The one child a thread is waiting for, kept where another thread can end it: the store's
// shutdown kills the worker's child and no other.
class ChildSlot {
public:
    // False (and the child killed) once the slot is closed.
    bool Hold(pid_t child);
    void Release();
    // Kills the child held now and every child held from now on.
    void Close();

private:
    std::mutex m_mu;
    pid_t m_child = 0;
    bool m_closed = false;
};

// Decodes in a child process; false when it does not decode, crashes, or is killed. slot: where
// the child is held while it runs, if anywhere.
bool DecodeIsolated(const std::string& path, int fitW, int fitH, Picture* out,
                    ChildSlot* slot = nullptr);

// One long-lived child that checks file after file (codec::Check), so a library of thousands
// costs one fork, not one each. A file that kills it is counted as not decoding, and the next
// file gets a new child. Used by one thread.
class Checker {
public:
    explicit Checker(ChildSlot* slot) : m_slot(slot) {}
    ~Checker() { Stop(); }
    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;

    Verdict Check(const std::string& path);
    // Ends the child (it has nothing left to check).
    void Stop();
    // How many children it has started, and the one running (tests).
    int Started() const { return m_started; }
    pid_t Child() const { return m_child; }

private:
    bool Start();
    ChildSlot* m_slot;
    pid_t m_child = 0;
    int m_fd = -1;
    int m_started = 0;
    bool m_refused = false; // the slot was closed
};
} // namespace codec
