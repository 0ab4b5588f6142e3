#pragma once
// The one table from SDL keys to Windows virtual-key codes, and the key messages and filter
// records built from a key event. Pure: no display is needed, so the translation is tested on
// its own.
//  [X] letters and digits from the key symbol (layout-aware), everything else by position
//  [X] F1-F24, arrows, navigation, keypad, US punctuation as VK_OEM_*, GUI keys as VK_LWIN/RWIN
//  [X] the filter sees left/right modifier codes, window messages the generic ones
//  [ ] IME, dead keys and character messages: Tappy reads key codes only
#include "platform/keyboard.h"

#include <SDL.h>

namespace tappy {

struct KeyInfo {
    int vk;        // with left/right modifier codes (VK_LSHIFT, VK_RMENU, ...)
    int scan;      // PC set-1 scan code, 0 when the key has none
    bool extended; // the E0-prefixed keys: navigation block, arrows, right Ctrl/Alt, ...
};

// Keys with no Windows counterpart come back as vk 0xFF, scan 0.
KeyInfo LookupKey(SDL_Keycode sym, SDL_Scancode scancode);
// VK_LSHIFT/VK_RSHIFT -> VK_SHIFT, and likewise for Ctrl and Alt; other codes unchanged.
int GenericVirtualKey(int vk);

struct KeyMessage {
    UINT message; // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN or WM_SYSKEYUP
    WPARAM wParam;
    LPARAM lParam;
};
// mod is the modifier state that SDL reports with the event (it already includes a modifier
// key's own press).
KeyMessage KeyMessageFor(const KeyInfo& key, bool up, bool repeat, Uint16 mod);
// What the low-level filter receives: the message kind as wParam, and the record.
UINT FilterMessageFor(const KeyInfo& key, bool up, Uint16 mod);
KBDLLHOOKSTRUCT FilterRecordFor(const KeyInfo& key, bool up, Uint16 mod, Uint32 timestamp);

} // namespace tappy
