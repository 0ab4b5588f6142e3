#pragma once
// The runtime-library services the design names: a 15-bit random generator, sleeping and
// starting a detached thread. glibc's own rand() yields 31 bits, which would break the
// random-index rule, so Tappy's generator lives in namespace crt and every choice goes through it.
#include "platform/win_types.h"

namespace crt {
constexpr int RAND_MAX_15 = 32767;
// 0 ... 32767 inclusive. One process-wide sequence; called from the UI thread only.
int rand();
void srand(unsigned int seed);
// The value rand() will return after `skip` further calls, without drawing anything: what a
// choice not yet made will get, so its picture can be made ready while the sequence stays.
int peek_rand(int skip);
// Starts body(arg) on a new detached thread with the default stack size.
// Returns false when the thread could not be started (the caller may not look).
bool _beginthread(void (*body)(void*), unsigned int stackSize, void* arg);
} // namespace crt

// Blocks the calling thread for about ms milliseconds.
void Sleep(DWORD ms);
