#include "app/VtxApp.h"

#include <windows.h>

namespace {
CVtxApp theApp;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return theApp.Run();
}
