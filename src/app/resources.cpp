// The program's resources, compiled in from res/ and handed to the platform before any window
// or dialog is made.
#include "app/resources.h"

#include "res/about_dialog.h"
#include "res/resource.h"

#include "res_icons.inc"

void RegisterTappyResources()
{
    RegisterDialogTemplate(&kAboutBoxTemplate);
    RegisterIconResource(IDR_MAINFRAME, kIcon129Png, sizeof(kIcon129Png));
    RegisterIconResource(IDI_SMALL, kIcon131Png, sizeof(kIcon131Png));
}
