#pragma once
// What Tappy makes of one file in images/, in words a parent can act on. It uses the toy's own
// decoders, limits and decoder child process, so it says what the toy would do.
#include <string>

enum class Use { Shown, Refused, Ignored };

struct PictureVerdict {
    Use use = Use::Ignored;
    std::string format; // "PNG", ...; empty for a file that is no picture Tappy reads
    std::string reason; // for a shown picture, its size ("1200 x 800")
};

// The box the check decodes into: a common screen, as the toy decodes for its own.
constexpr int kCheckWidth = 1920;
constexpr int kCheckHeight = 1080;

// Refusal texts for a stored size outside the limits; empty when it is within them.
std::string SizeRefusal(unsigned long long width, unsigned long long height);

PictureVerdict JudgePicture(const std::string& path);
