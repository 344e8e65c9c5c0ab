// What the DLL's objects share: its module handle and the count of objects
// and locks that keeps it loaded.
#pragma once

#include <windows.h>

HINSTANCE ThisModule();
void LockModule();
void UnlockModule();
