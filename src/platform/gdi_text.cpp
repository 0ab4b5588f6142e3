// Placeholder until text and fills land.
#include "platform/gdi_internal.h"

void RealiseSystemFont(GdiObject*) {}
int FillRect(HDC, const RECT*, HBRUSH) { return 0; }
int DrawTextA(HDC, const char*, int, RECT*, UINT) { return 0; }
HFONT CreateFontIndirectA(const LOGFONTA*) { return nullptr; }
