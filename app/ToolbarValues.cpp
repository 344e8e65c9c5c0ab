#include "app/ToolbarValues.h"

#include <cstring>

#include <windows.h>

const char kToolbarKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar";
const char kBackBitmapValue[] = "BackBitmap";
const char kBackBitmapShellValue[] = "BackBitmapShell";

void WriteToolbarValues(const char* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kToolbarKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    const BYTE* data = reinterpret_cast<const BYTE*>(path);
    DWORD size = static_cast<DWORD>(std::strlen(path) + 1);
    RegSetValueExA(key, kBackBitmapValue, 0, REG_SZ, data, size);
    RegSetValueExA(key, kBackBitmapShellValue, 0, REG_SZ, data, size);
    RegCloseKey(key);
}
