#include "framework/WinApp.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include <commctrl.h>

namespace {

CWinApp* g_app = nullptr;

bool IsFile(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// Grows the buffer until the path fits: a cut path would name another file.
CString ModuleFileName() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) return CString(buffer.data(), static_cast<int>(length));
        buffer.resize(buffer.size() * 2);
    }
}

// A bare name found in the current folder is made a full path: the shell
// would look for a bare name in the program's folder first.
CString FindProgramFile(const char* name) {
    if (IsFile(name)) {
        char full[MAX_PATH];
        DWORD length = GetFullPathNameA(name, MAX_PATH, full, nullptr);
        return length > 0 && length < MAX_PATH ? CString(full, static_cast<int>(length)) : CString(name);
    }
    CString module = ModuleFileName();
    CString besideProgram = module.Left(module.ReverseFind('\\') + 1) + name;
    return IsFile(besideProgram) ? besideProgram : CString(name);
}

const CRuntimeClass CWinApp::classCWinApp{"CWinApp", nullptr, &CCmdTarget::classCCmdTarget};

CWinApp::CWinApp() : m_pszExeName(FileTitleOf(ModuleFileName())), m_pszProfileName(m_pszExeName + ".INI") {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

const CRuntimeClass* CWinApp::GetRuntimeClass() const {
    return &classCWinApp;
}

void CCommandLineInfo::ParseParam(const char* param, BOOL flag, BOOL) {
    if (!flag) return;
    for (const char* word : {"p", "pt", "dde", "Embedding", "Automation", "Register", "Regserver", "Unregister",
                             "Unregserver"}) {
        if (lstrcmpiA(param, word) == 0) m_bShowSplash = FALSE;
    }
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) {
    for (int i = 1; i < __argc; ++i) {
        const char* param = __argv[i];
        BOOL flag = param[0] == '-' || param[0] == '/';
        info.ParseParam(flag ? param + 1 : param, flag, i + 1 == __argc);
    }
}

UINT CWinApp::GetProfileInt(const char* section, const char* entry, int defaultValue) {
    return GetPrivateProfileIntA(section, entry, defaultValue, m_pszProfileName);
}

CString CWinApp::GetProfileString(const char* section, const char* entry, const char* defaultValue) {
    std::vector<char> buffer(256);
    for (;;) {
        DWORD length = GetPrivateProfileStringA(section, entry, defaultValue ? defaultValue : "", buffer.data(),
                                                static_cast<DWORD>(buffer.size()), m_pszProfileName);
        // A value cut to fit is reported as the buffer's size less one.
        if (length + 1 < buffer.size()) return CString(buffer.data(), static_cast<int>(length));
        buffer.resize(buffer.size() * 2);
    }
}

BOOL CWinApp::WriteProfileInt(const char* section, const char* entry, int value) {
    CString text;
    text.Format("%d", value);
    return WriteProfileString(section, entry, text);
}

BOOL CWinApp::WriteProfileString(const char* section, const char* entry, const char* value) {
    return WritePrivateProfileStringA(section, entry, value, m_pszProfileName);
}

CWinApp* AfxGetApp() {
    return g_app;
}

CWinThread* AfxGetThread() {
    return g_app;
}

CWnd* AfxGetMainWnd() {
    return g_app ? g_app->GetMainWnd() : nullptr;
}

CString AfxLoadString(UINT id) {
    char text[1024];
    int length = LoadStringA(AfxGetResourceHandle(), id, text, static_cast<int>(sizeof text));
    return CString(text, length);
}

HINSTANCE AfxGetResourceHandle() {
    return GetModuleHandleA(nullptr);
}

HINSTANCE AfxFindResourceHandle(const char*, const char*) {
    return AfxGetResourceHandle();
}

void Enable3dControls() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}
