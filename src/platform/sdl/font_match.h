#pragma once
// Font faces for the GDI stand-in: fontconfig picks the file, SDL2_ttf renders it. The
// realisation (match, file bytes, the size that fits the cell) is cached per request, so a
// font made and deleted on every paint opens no file and runs no match after the first.
// Platform-internal.
#include <string>

struct _TTF_Font;

struct FontRequest {
    std::string family; // a family name or a generic one ("sans-serif")
    bool bold = false;
    bool italic = false;
    bool cyrillic = false; // only faces that cover Russian are candidates
    int cellLimit = 16;    // the cell (TTF_FontHeight) is the largest not above this, pixels
};

struct MatchedFace {
    std::string file;
    int index = 0;
    bool fakeBold = false;   // the best face is lighter than asked: embolden it
    bool fakeItalic = false; // the best face is upright: slant it
};

// fontconfig's closest outline face for the request; false when none qualifies.
bool MatchFontFace(const FontRequest& request, MatchedFace* face);

// A newly opened font that the caller owns and closes with TTF_CloseFont; null when no face
// matched or the file did not open. *cellHeight receives its TTF_FontHeight.
_TTF_Font* OpenRequestedFont(const FontRequest& request, int* cellHeight);
