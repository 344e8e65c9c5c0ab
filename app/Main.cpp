// Zelvo's one application object, made during static initialisation; the
// framework's entry point runs it.
#include "app/SkinApp.h"

CSkinApp theApp;
