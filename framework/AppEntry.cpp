// The process entry of a program built on the framework: it runs the
// application object's start-up, which returns when the program is to end.
#include "framework/WinApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    app->InitInstance();
    return 0;
}
