// The commands that reach outside the program: starting with Windows, Clear &
// Exit, Tell a Friend and Help.
#include <windows.h>
#include <shellapi.h>

#include "app/ToolbarValues.h"
#include "framework/WinApp.h"
#include "ui/SkinSettingsDlg.h"

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValue[] = "Zelvo";
const char kClearQuestion[] = "Are you sure you want to clear the skins and exit?";
const char kCaption[] = "Zelvo";
const char kMailLink[] = "mailto:?subject=Zelvo - Multiple skins for explorer and internet explorer ";
const char kHelpPage[] = "help.html";

// Shown minimised, as the mail and help windows always were.
void OpenDocument(const char* document) {
    ShellExecuteA(nullptr, "open", document, nullptr, nullptr, SW_SHOWMINIMIZED);
}

}  // namespace

bool CSkinSettingsDlg::IsRunAtStartup() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    bool exists = RegQueryValueExA(key, kRunValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return exists;
}

// The path is quoted: unquoted, a path with spaces would let Windows start
// another program (C:\Program.exe for C:\Program Files\...).
void CSkinSettingsDlg::OnRunAtStartup() {
    UpdateData(TRUE);
    HKEY key;
    if (m_bRunAtStartup) {
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
        CString command;
        command.Format("\"%s\" -min", ModuleFileName().GetString());
        RegSetValueExA(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.GetString()),
                       static_cast<DWORD>(command.GetLength() + 1));
        RegCloseKey(key);
    } else if (RegOpenKeyA(HKEY_CURRENT_USER, kRunKey, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, kRunValue);
        RegCloseKey(key);
    }
}

void CSkinSettingsDlg::OnClearAndExit() {
    if (MessageBox(kClearQuestion, kCaption, MB_YESNOCANCEL | MB_ICONQUESTION) != IDYES) return;
    HKEY key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, kToolbarKey, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, kBackBitmapValue);
        RegDeleteValueA(key, kBackBitmapShellValue);
        RegCloseKey(key);
    }
    OnExit();
}

void CSkinSettingsDlg::OnTellAFriend() {
    OpenDocument(kMailLink);
}

void CSkinSettingsDlg::OnHelp() {
    OpenDocument(FindProgramFile(kHelpPage));
}
