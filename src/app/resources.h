#pragma once
// Registers the About box's template and the program's icons with the platform.
void RegisterTappyResources();
