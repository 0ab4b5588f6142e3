#include "platform/runtime.h"

#include <chrono>
#include <thread>

namespace {
// The classic linear congruential generator whose upper bits give 15-bit values; any
// generator covering 0 ... 32767 would do, this one is cheap and well understood.
unsigned int g_randState = 1;
} // namespace

namespace crt {
int rand()
{
    g_randState = g_randState * 214013u + 2531011u;
    return static_cast<int>((g_randState >> 16) & 0x7FFFu);
}

void srand(unsigned int seed)
{
    g_randState = seed;
}

int peek_rand(int skip)
{
    unsigned int state = g_randState;
    for (int i = 0; i <= skip; ++i)
        state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFFu);
}

bool _beginthread(void (*body)(void*), unsigned int /*stackSize*/, void* arg)
{
    try {
        std::thread(body, arg).detach();
        return true;
    } catch (...) {
        return false;
    }
}
} // namespace crt

void Sleep(DWORD ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
