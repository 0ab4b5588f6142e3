#include "platform/sdl/font_match.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {
// Realisations kept with their file's bytes. A font opened from them keeps pointing into the
// bytes, so an entry is never dropped; past this many distinct requests fonts are opened from
// their files instead, uncached.
constexpr std::size_t kMaxCachedFaces = 16;

struct Realised {
    FontRequest request;
    std::vector<unsigned char> bytes;
    int index = 0;
    int pointSize = 0;
    int style = TTF_STYLE_NORMAL;
};

std::vector<std::unique_ptr<Realised>>& Cache()
{
    static std::vector<std::unique_ptr<Realised>> cache;
    return cache;
}

bool Same(const FontRequest& a, const FontRequest& b)
{
    return a.family == b.family && a.bold == b.bold && a.italic == b.italic &&
           a.cyrillic == b.cyrillic && a.cellLimit == b.cellLimit;
}

bool EnsureTtf()
{
    return TTF_WasInit() > 0 || TTF_Init() == 0;
}

bool ReadFile(const std::string& path, std::vector<unsigned char>* bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    bytes->clear();
    unsigned char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + got);
    std::fclose(f);
    return !bytes->empty();
}

TTF_Font* OpenFromBytes(const Realised& r, int pointSize)
{
    SDL_RWops* rw = SDL_RWFromConstMem(r.bytes.data(), static_cast<int>(r.bytes.size()));
    if (!rw)
        return nullptr;
    return TTF_OpenFontIndexRW(rw, 1, pointSize, r.index);
}

// The cell grows with the point size, though not strictly (hinting rounds), so the largest size
// that fits is found by bisection over sizes up to twice the limit.
int PointSizeForCell(TTF_Font* font, int cellLimit)
{
    int lo = 1, hi = cellLimit * 2;
    int best = 1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        if (TTF_SetFontSize(font, mid) == 0 && TTF_FontHeight(font) <= cellLimit) {
            best = mid;
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    return best;
}

TTF_Font* Finish(TTF_Font* font, int pointSize, int style, int* cellHeight)
{
    if (!font)
        return nullptr;
    TTF_SetFontSize(font, pointSize);
    TTF_SetFontStyle(font, style);
    if (cellHeight)
        *cellHeight = TTF_FontHeight(font);
    return font;
}
} // namespace

bool MatchFontFace(const FontRequest& request, MatchedFace* face)
{
    if (!face || !FcInit())
        return false;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return false;
    FcPatternAddString(pattern, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(request.family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    if (request.cyrillic)
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ru"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    // A sorted list rather than the single best match: a face name that exists but lacks
    // Cyrillic would otherwise win over every face that can show the word.
    FcResult result = FcResultNoMatch;
    FcFontSet* sorted = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    bool found = false;
    for (int i = 0; sorted && i < sorted->nfont && !found; ++i) {
        FcPattern* candidate = sorted->fonts[i];
        FcBool outline = FcFalse;
        if (FcPatternGetBool(candidate, FC_OUTLINE, 0, &outline) != FcResultMatch || !outline)
            continue;
        if (request.cyrillic) {
            FcLangSet* langs = nullptr;
            if (FcPatternGetLangSet(candidate, FC_LANG, 0, &langs) != FcResultMatch ||
                FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ru")) != FcLangEqual)
                continue;
        }
        FcChar8* file = nullptr;
        if (FcPatternGetString(candidate, FC_FILE, 0, &file) != FcResultMatch || !file)
            continue;
        int index = 0;
        FcPatternGetInteger(candidate, FC_INDEX, 0, &index);
        int weight = FC_WEIGHT_REGULAR;
        FcPatternGetInteger(candidate, FC_WEIGHT, 0, &weight);
        int slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(candidate, FC_SLANT, 0, &slant);
        face->file = reinterpret_cast<const char*>(file);
        face->index = index;
        face->fakeBold = request.bold && weight < FC_WEIGHT_DEMIBOLD;
        face->fakeItalic = request.italic && slant == FC_SLANT_ROMAN;
        found = true;
    }
    if (sorted)
        FcFontSetDestroy(sorted);
    FcPatternDestroy(pattern);
    return found;
}

TTF_Font* OpenRequestedFont(const FontRequest& request, int* cellHeight)
{
    if (!EnsureTtf())
        return nullptr;
    auto& cache = Cache();
    for (const auto& entry : cache) {
        if (Same(entry->request, request))
            return Finish(OpenFromBytes(*entry, entry->pointSize), entry->pointSize, entry->style,
                          cellHeight);
    }

    MatchedFace face;
    if (!MatchFontFace(request, &face))
        return nullptr;
    const int style =
        (face.fakeBold ? TTF_STYLE_BOLD : 0) | (face.fakeItalic ? TTF_STYLE_ITALIC : 0);

    if (cache.size() >= kMaxCachedFaces) {
        TTF_Font* font = TTF_OpenFontIndex(face.file.c_str(), request.cellLimit, face.index);
        if (!font)
            return nullptr;
        return Finish(font, PointSizeForCell(font, request.cellLimit), style, cellHeight);
    }

    auto entry = std::make_unique<Realised>();
    entry->request = request;
    entry->index = face.index;
    entry->style = style;
    if (!ReadFile(face.file, &entry->bytes))
        return nullptr;
    TTF_Font* font = OpenFromBytes(*entry, request.cellLimit);
    if (!font)
        return nullptr;
    entry->pointSize = PointSizeForCell(font, request.cellLimit);
    const Realised& kept = *entry;
    cache.push_back(std::move(entry));
    return Finish(font, kept.pointSize, kept.style, cellHeight);
}
