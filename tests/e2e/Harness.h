// Drives the real zelvo.exe from outside, as a person would: a program folder
// of its own, the per-user state it reads and writes, the process with a
// guard that always ends it, and bounded waits for its windows.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Bounded waits: the machine is shared and loaded, so they are generous.
constexpr DWORD kWaitMs = 10000;

// Command ids the settings window understands (the tray menu's items and the
// system menu's About item).
constexpr UINT kCmdExit = 32771;
constexpr UINT kCmdSkinSettings = 32772;
constexpr UINT kCmdShowQuickTip = 32773;
constexpr UINT kCmdAbout = 57664;
constexpr UINT kCmdHelp = 9;
constexpr UINT kSysCmdAbout = 0x0010;

// Control ids of the settings window.
constexpr int kIdSkinList = 1001;
constexpr int kIdAdd = 1002;
constexpr int kIdRemove = 1003;
constexpr int kIdRunAtStartup = 1005;
constexpr int kIdClearExit = 1007;
constexpr int kIdTellFriend = 1008;

extern const char kToolbarKey[];
extern const char kRunKey[];

// Polls until done() holds or timeoutMs passes, pumping this thread's
// messages meanwhile; the result is the last done().
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = kWaitMs);

// This test program's working folder and helpers for paths in it.
std::string CurrentFolder();
std::string Join(const std::string& folder, const std::string& name);
// Only A to Z lower-cased, as zelvo lower-cases its folder.
std::string LowerAscii(std::string text);
bool FileExists(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// The text lines of a file, line ends removed; empty when it is missing.
std::vector<std::string> ReadLines(const std::string& path);
// Names of the files in folder (not "." and "..").
std::vector<std::string> ListFolder(const std::string& folder);
void RemoveTree(const std::string& path);

// Registry access under HKEY_CURRENT_USER.
std::optional<std::string> ReadString(const char* key, const char* value);
bool ValueExists(const char* key, const char* value);
void WriteString(const char* key, const char* value, const std::string& data);
void DeleteValue(const char* key, const char* value);
void CreateKey(HKEY root, const char* key);

// A fresh folder under the test's working folder holding zelvo.exe with
// tips.txt and help.html beside it, as an installation would.
class ProgramFolder {
public:
    explicit ProgramFolder(const std::string& name);
    const std::string& Path() const { return m_path; }
    std::string Exe() const { return Join(m_path, "zelvo.exe"); }
    std::string File(const std::string& name) const { return Join(m_path, name); }
    // The folder as zelvo names its files: lower-cased, ending in a backslash.
    std::string Prefix() const { return LowerAscii(m_path) + "\\"; }
    // A sub-folder, made fresh.
    std::string SubFolder(const std::string& name) const;

private:
    std::string m_path;
};

// Top-level windows of a process by class and title (null: any).
std::vector<HWND> TopLevelWindows(DWORD pid, const char* className, const char* title);
HWND FindTopLevel(DWORD pid, const char* className, const char* title);
// The dialog of pid owned by owner whose title is title (null: any).
HWND FindOwnedDialog(DWORD pid, HWND owner, const char* title);
std::string WindowText(HWND window);
std::string ClassName(HWND window);
// The first window of the class anywhere below parent, or null.
HWND FindDescendant(HWND parent, const char* className);
// True when some child of parent shows exactly text.
bool HasChildWithText(HWND parent, const std::string& text);

// Presses a button as a click would: posted, so that a modal loop it starts
// does not block the test.
void ClickButton(HWND button);
// The control with the keyboard focus in window's thread, else window.
HWND FocusOf(HWND window);
// A key press posted to target, as the keyboard would deliver it.
void PressKey(HWND target, UINT virtualKey);

// One started zelvo.exe. The destructor ends it whatever happened: the exit
// command to its settings window, a wait, then TerminateProcess.
class Zelvo {
public:
    Zelvo(const ProgramFolder& folder, const std::string& arguments, const std::string& currentFolder);
    ~Zelvo();
    Zelvo(const Zelvo&) = delete;
    Zelvo& operator=(const Zelvo&) = delete;

    DWORD Pid() const { return m_info.dwProcessId; }
    HANDLE Process() const { return m_info.hProcess; }
    bool Running() const;
    // Waits for the end; the exit code, or nothing when it did not end.
    std::optional<DWORD> WaitExit(DWORD timeoutMs = kWaitMs);
    // The path of the executable as the system reports it.
    std::string ImagePath() const;

    // The settings window, titled "Zelvo"; found once and remembered, since
    // hidden in the tray it is no longer a top-level window.
    HWND Settings(DWORD timeoutMs = kWaitMs);
    HWND Control(int id) { return GetDlgItem(Settings(), id); }
    // Waits for a visible top-level window of this process.
    HWND WaitWindow(const char* className, const char* title, DWORD timeoutMs = kWaitMs);
    // Waits for a visible dialog owned by the settings window.
    HWND WaitOwnedDialog(const char* title, DWORD timeoutMs = kWaitMs);
    void Command(UINT id);

    // Makes sure the window has finished its start-up and handled every
    // message posted to it so far: a harmless change posted behind them is
    // waited for, then undone. False when the window does not answer.
    bool Settle();

private:
    PROCESS_INFORMATION m_info{};
    HWND m_settings = nullptr;
};

}  // namespace e2e
