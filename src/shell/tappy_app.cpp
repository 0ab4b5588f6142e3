// Placeholder: the application object lands with the whole-program change.
#include "platform/app.h"

int main(int argc, char** argv) { return AfxWinMain(argc, argv); }
