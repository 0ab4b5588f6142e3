#pragma once
// What a device context and a GDI object are, inside the platform layer.
#include "platform/gdi.h"

#include <SDL.h>

struct _TTF_Font;

struct GdiObject {
    enum class Kind { Bitmap, Font, Brush } kind;
    SDL_Surface* surface = nullptr; // Bitmap: the pixels
    _TTF_Font* font = nullptr;      // Font: the realised face, owned (null if none matched)
    int cellHeight = 0;             // Font: pixels from top of ascent to bottom of descent
    BYTE charset = DEFAULT_CHARSET; // Font: how the text's bytes are to be read
    Uint32 color = 0xFFFFFF;        // Brush: 0xRRGGBB
    bool stock = false;             // never deleted
    void* mapping = nullptr;        // Bitmap: the pages the pixels live in, owned
    std::size_t mappingBytes = 0;
};

struct DeviceContext {
    SDL_Surface* surface = nullptr; // where drawing lands: the selected bitmap's or the window's
    GdiObject* bitmap = nullptr;    // the selected bitmap, for a memory context
    GdiObject* font = nullptr;      // the selected font; a new context starts with the stock
                                    // system font, whose face is opened on first use
    SDL_Window* window = nullptr;   // set for a window's context: a copy into it is presented
};

// Pixel format of every bitmap Tappy makes; the window surface is converted on copy if needed.
constexpr Uint32 kBitmapFormat = SDL_PIXELFORMAT_XRGB8888;

// Opens the stock system font's face if it is not open yet (text code; safe to call often).
void RealiseSystemFont(GdiObject* stockFont);
