#include "ToolbarRegistry.h"

#include <cstring>
#include <vector>

#include <windows.h>

#include "app/ToolbarValues.h"

void ResetToolbarKey(bool create) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kToolbarKey);
    if (create) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kToolbarKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        RegCloseKey(key);
    }
}

bool ToolbarKeyExists() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kToolbarKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void SetToolbarValues(const char* path) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kToolbarKey, 0, KEY_SET_VALUE, &key));
    for (const char* name : {kBackBitmapValue, kBackBitmapShellValue}) {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), DWORD(std::strlen(path) + 1));
    }
    RegCloseKey(key);
}

static ::testing::AssertionResult ValueIs(HKEY key, const char* name, const std::string& path) {
    DWORD type = 0, size = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) return ::testing::AssertionFailure() << name << " missing (" << status << ")";
    std::vector<char> data(size + 1, '\x7f');
    RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    std::string expected(path.c_str(), path.size() + 1);
    std::string actual(data.data(), size);
    if (type != REG_SZ || actual != expected) {
        return ::testing::AssertionFailure() << name << " is type " << type << " size " << size << " \"" << actual
                                             << "\", expected REG_SZ size " << expected.size() << " \"" << path
                                             << "\"";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ToolbarValuesAre(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kToolbarKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return ::testing::AssertionFailure() << "toolbar key missing";
    }
    ::testing::AssertionResult result = ValueIs(key, kBackBitmapValue, path);
    if (result) result = ValueIs(key, kBackBitmapShellValue, path);
    RegCloseKey(key);
    return result;
}

std::string ReadBackBitmap() {
    char data[1024];
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CURRENT_USER, kToolbarKey, kBackBitmapValue, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS) {
        return "<missing>";
    }
    return data;
}
