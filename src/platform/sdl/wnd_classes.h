#pragma once
// Window classes as AfxRegisterWndClass registers them. Platform-internal.
#include "platform/wnd.h"

#include <string>

namespace tappy {

struct WndClass {
    UINT style;
    HCURSOR cursor;
    HBRUSH brush;
    HICON icon;
    std::string name;
};

// Null for a name never handed out.
const WndClass* FindClass(const char* name);

} // namespace tappy
