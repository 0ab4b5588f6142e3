// Placeholder until sound playing lands.
#include "platform/sound.h"

BOOL PlaySoundA(const char*, HINSTANCE, DWORD) { return FALSE; }
bool SoundStartup() { return false; }
void SoundShutdown() {}
