// The application object: one per process, made during static
// initialisation, started by the framework's entry point; its main window,
// command-line parser and per-application profile.
#pragma once

#include <windows.h>

#include "framework/CmdTarget.h"
#include "framework/Strings.h"

class CWnd;

class CWinThread : public CCmdTarget {
public:
    // The window the thread's commands go to (the tray icon's, for one).
    virtual CWnd* GetMainWnd() { return m_pMainWnd; }

    CWnd* m_pMainWnd = nullptr;
};

class CCommandLineInfo {
public:
    virtual ~CCommandLineInfo() = default;
    // Called for every argument after the program's name; flag tells whether
    // it began with "-" or "/" (which param then lacks).
    virtual void ParseParam(const char* param, BOOL flag, BOOL last);

    // Cleared by the switches that start a program for another program
    // (printing, DDE, automation, registration) rather than for a person.
    BOOL m_bShowSplash = TRUE;
};

class CWinApp : public CWinThread {
public:
    // Becomes the current application; the profile is named after the
    // executable.
    CWinApp();
    ~CWinApp() override;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCWinApp;

    // The start-up; FALSE ends the process when it returns.
    virtual BOOL InitInstance() { return FALSE; }

    void ParseCommandLine(CCommandLineInfo& info);

    // Section and entry in the profile file, a private profile file named
    // after the executable with ".INI", in the Windows directory.
    UINT GetProfileInt(const char* section, const char* entry, int defaultValue);
    CString GetProfileString(const char* section, const char* entry, const char* defaultValue = nullptr);
    BOOL WriteProfileInt(const char* section, const char* entry, int value);
    BOOL WriteProfileString(const char* section, const char* entry, const char* value);

    // The executable's file name without folder and extension.
    CString m_pszExeName;
    CString m_pszProfileName;
};

CWinApp* AfxGetApp();
CWinThread* AfxGetThread();
CWnd* AfxGetMainWnd();
// String resource id; empty when there is none.
CString AfxLoadString(UINT id);
// Where resources come from: the executable.
HINSTANCE AfxGetResourceHandle();
HINSTANCE AfxFindResourceHandle(const char* name, const char* type);
// The common controls (list views, image lists) in their current look.
void Enable3dControls();

// The running executable's full path, in the case the system reports it.
CString ModuleFileName();
// A file the program ships beside itself, opened by bare name: its full path
// when the current folder has it, else its path in the executable's folder
// when that has it, else name. A program started at log-on has another
// current folder.
CString FindProgramFile(const char* name);
