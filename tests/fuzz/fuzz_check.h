#pragma once
// A fuzz target's own assertion: a trap, so that libFuzzer keeps the input that broke it.
inline void Check(bool ok)
{
    if (!ok)
        __builtin_trap();
}
