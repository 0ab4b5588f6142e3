// Window classes, the module state, cursors and message boxes: the small framework services a
// window is made from. The classes are made on first use and last to the end of the process,
// since a class may be registered during static construction and its name is handed out.
#include "platform/sdl/wnd_classes.h"

#include "platform/sdl/backend.h"

#include <cstdio>
#include <list>
#include <new>

struct ModuleImpl {
    int unused;
};
struct CursorImpl {
    int cursorId;
};

namespace {

// A list, so the names handed out stay where they are while more classes are added.
std::list<tappy::WndClass>& Classes()
{
    static std::list<tappy::WndClass> classes;
    return classes;
}

} // namespace

namespace tappy {

const WndClass* FindClass(const char* name)
{
    if (!name || !*name)
        return nullptr;
    for (const WndClass& c : Classes())
        if (c.name == name)
            return &c;
    return nullptr;
}

} // namespace tappy

const char* AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground,
                                HICON hIcon)
{
    auto& classes = Classes();
    for (const tappy::WndClass& c : classes)
        if (c.style == nClassStyle && c.cursor == hCursor && c.brush == hbrBackground &&
            c.icon == hIcon)
            return c.name.c_str();
    try {
        char name[64];
        std::snprintf(name, sizeof(name), "Tappy:%zu:%x", classes.size() + 1, nClassStyle);
        classes.push_back(tappy::WndClass{nClassStyle, hCursor, hbrBackground, hIcon, name});
        return classes.back().name.c_str();
    } catch (const std::bad_alloc&) {
        throw new CResourceException();
    }
}

AFX_MODULE_STATE* AfxGetModuleState()
{
    static ModuleImpl module{0};
    static AFX_MODULE_STATE state{&module};
    return &state;
}

HCURSOR LoadCursorA(HINSTANCE /*hInstance*/, int cursorId)
{
    // SDL's default cursor is the arrow, so the handle only has to be recognisable.
    static CursorImpl arrow{IDC_ARROW};
    return cursorId == IDC_ARROW ? &arrow : nullptr;
}

int AfxMessageBox(const char* text, UINT nType, UINT /*nIDHelp*/)
{
    if (!text)
        text = "";
    // A modal box on the dummy driver would wait for a click nobody can give.
    if (tappy::VideoHasDisplay()) {
        SDL_MessageBoxButtonData buttons[2];
        int count = 0;
        buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDOK, "OK"};
        if ((nType & 0x0F) == MB_OKCANCEL)
            buttons[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDCANCEL, "Cancel"};
        SDL_MessageBoxData data{};
        data.flags = (nType & 0xF0) == MB_ICONEXCLAMATION ? SDL_MESSAGEBOX_WARNING
                                                          : SDL_MESSAGEBOX_INFORMATION;
        HWND parent = tappy::KeyboardTarget();
        data.window = parent ? parent->window : nullptr;
        data.title = "Tappy";
        data.message = text;
        data.numbuttons = count;
        data.buttons = buttons;
        int answer = IDOK;
        if (SDL_ShowMessageBox(&data, &answer) == 0)
            return answer < 0 ? IDCANCEL : answer;
    }
    std::fprintf(stderr, "Tappy: %s\n", text);
    return IDOK;
}
