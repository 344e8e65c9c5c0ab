#include "Harness.h"

#include <commctrl.h>

#include <fstream>
#include <stdexcept>

namespace e2e {

const char kToolbarKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

namespace {

// A second copy, an exit command stuck in a nested modal loop: how long the
// guard lets the program end by itself before it terminates it.
constexpr DWORD kExitGraceMs = 5000;
constexpr UINT kSendTimeoutMs = 2000;

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

struct WindowQuery {
    DWORD pid;
    const char* className;
    const char* title;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    auto* query = reinterpret_cast<WindowQuery*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != query->pid) return TRUE;
    if (query->className && ClassName(window) != query->className) return TRUE;
    if (query->title && WindowText(window) != query->title) return TRUE;
    query->found.push_back(window);
    return TRUE;
}

struct ClassQuery {
    const char* className;
    HWND found;
};

BOOL CALLBACK MatchClass(HWND window, LPARAM param) {
    auto* query = reinterpret_cast<ClassQuery*>(param);
    if (ClassName(window) != query->className) return TRUE;
    query->found = window;
    return FALSE;
}

struct TextQuery {
    const std::string* text;
    bool found;
};

BOOL CALLBACK MatchChildText(HWND window, LPARAM param) {
    auto* query = reinterpret_cast<TextQuery*>(param);
    if (WindowText(window) == *query->text) {
        query->found = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done()) {
        if (GetTickCount64() >= end) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        Pump();
    }
    return true;
}

std::string CurrentFolder() {
    char buffer[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
    return std::string(buffer, length);
}

std::string Join(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '\\') return folder + name;
    return folder + "\\" + name;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool FileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(Join(folder, "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = data.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

void RemoveTree(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        for (const std::string& name : ListFolder(path)) RemoveTree(Join(path, name));
        RemoveDirectoryA(path.c_str());
    } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
}

std::optional<std::string> ReadString(const char* key, const char* value) {
    char buffer[1024];
    DWORD size = sizeof buffer;
    if (RegGetValueA(HKEY_CURRENT_USER, key, value, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(buffer);
}

bool ValueExists(const char* key, const char* value) {
    return RegGetValueA(HKEY_CURRENT_USER, key, value, RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void WriteString(const char* key, const char* value, const std::string& data) {
    LSTATUS status = RegSetKeyValueA(HKEY_CURRENT_USER, key, value, REG_SZ, data.c_str(),
                                     static_cast<DWORD>(data.size() + 1));
    if (status != ERROR_SUCCESS) throw std::runtime_error(std::string("cannot write ") + key + "\\" + value);
}

void DeleteValue(const char* key, const char* value) {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, key, value);
}

void CreateKey(HKEY root, const char* key) {
    HKEY handle;
    if (RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        throw std::runtime_error(std::string("cannot create ") + key);
    RegCloseKey(handle);
}

ProgramFolder::ProgramFolder(const std::string& name) {
    const std::string runs = Join(CurrentFolder(), "Runs");
    CreateDirectoryA(runs.c_str(), nullptr);
    m_path = Join(runs, name);
    RemoveTree(m_path);
    if (!CreateDirectoryA(m_path.c_str(), nullptr)) throw std::runtime_error("cannot make " + m_path);
    const std::string built = ZELVO_EXE_DIR;
    for (const char* file : {"zelvo.exe", "tips.txt", "help.html"}) {
        const std::string source = built + "/" + file;
        if (!CopyFileA(source.c_str(), File(file).c_str(), FALSE))
            throw std::runtime_error("cannot copy " + source);
    }
}

std::string ProgramFolder::SubFolder(const std::string& name) const {
    const std::string path = Join(m_path, name);
    RemoveTree(path);
    if (!CreateDirectoryA(path.c_str(), nullptr)) throw std::runtime_error("cannot make " + path);
    return path;
}

std::vector<HWND> TopLevelWindows(DWORD pid, const char* className, const char* title) {
    WindowQuery query{pid, className, title, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND FindTopLevel(DWORD pid, const char* className, const char* title) {
    std::vector<HWND> found = TopLevelWindows(pid, className, title);
    return found.empty() ? nullptr : found.front();
}

HWND FindOwnedDialog(DWORD pid, HWND owner, const char* title) {
    for (HWND window : TopLevelWindows(pid, "#32770", title)) {
        if (GetWindow(window, GW_OWNER) == owner) return window;
    }
    return nullptr;
}

std::string WindowText(HWND window) {
    char buffer[512];
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &length))
        return std::string();
    return std::string(buffer, length);
}

std::string ClassName(HWND window) {
    char buffer[256];
    int length = GetClassNameA(window, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? length : 0);
}

HWND FindDescendant(HWND parent, const char* className) {
    ClassQuery query{className, nullptr};
    EnumChildWindows(parent, MatchClass, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

bool HasChildWithText(HWND parent, const std::string& text) {
    TextQuery query{&text, false};
    EnumChildWindows(parent, MatchChildText, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

void ClickButton(HWND button) {
    PostMessageA(button, BM_CLICK, 0, 0);
}

HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus) return info.hwndFocus;
    return window;
}

void PressKey(HWND target, UINT virtualKey) {
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(target, WM_KEYDOWN, virtualKey, scan | 1);
    PostMessageA(target, WM_KEYUP, virtualKey, scan | 1 | 0xC0000000);
}

Zelvo::Zelvo(const ProgramFolder& folder, const std::string& arguments, const std::string& currentFolder) {
    const std::string exe = folder.Exe();
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    const std::string folderToRunIn = currentFolder.empty() ? folder.Path() : currentFolder;
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folderToRunIn.c_str(),
                        &startup, &m_info))
        throw std::runtime_error("cannot start " + commandLine + ", error " + std::to_string(GetLastError()));
}

Zelvo::~Zelvo() {
    if (Running()) {
        HWND settings = m_settings ? m_settings : FindTopLevel(Pid(), "#32770", "Zelvo");
        if (settings) PostMessageA(settings, WM_COMMAND, kCmdExit, 0);
        if (WaitForSingleObject(m_info.hProcess, kExitGraceMs) != WAIT_OBJECT_0) {
            TerminateProcess(m_info.hProcess, 99);
            WaitForSingleObject(m_info.hProcess, kExitGraceMs);
        }
    }
    CloseHandle(m_info.hThread);
    CloseHandle(m_info.hProcess);
}

bool Zelvo::Running() const {
    return WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Zelvo::WaitExit(DWORD timeoutMs) {
    if (!WaitFor([&] { return !Running(); }, timeoutMs)) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

std::string Zelvo::ImagePath() const {
    char buffer[MAX_PATH];
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameA(m_info.hProcess, 0, buffer, &size)) return std::string();
    return std::string(buffer, size);
}

HWND Zelvo::Settings(DWORD timeoutMs) {
    if (m_settings) return m_settings;
    // The confirmation box shares class and title: the settings window is the
    // one without an owner.
    WaitFor(
        [&] {
            for (HWND window : TopLevelWindows(Pid(), "#32770", "Zelvo")) {
                if (!GetWindow(window, GW_OWNER)) m_settings = window;
            }
            return m_settings != nullptr;
        },
        timeoutMs);
    return m_settings;
}

HWND Zelvo::WaitWindow(const char* className, const char* title, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND window : TopLevelWindows(Pid(), className, title)) {
                if (IsWindowVisible(window)) found = window;
            }
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

HWND Zelvo::WaitOwnedDialog(const char* title, DWORD timeoutMs) {
    HWND settings = Settings();
    HWND found = nullptr;
    WaitFor(
        [&] {
            found = FindOwnedDialog(Pid(), settings, title);
            return found && IsWindowVisible(found);
        },
        timeoutMs);
    return found && IsWindowVisible(found) ? found : nullptr;
}

void Zelvo::Command(UINT id) {
    PostMessageA(Settings(), WM_COMMAND, id, 0);
}

// The marker is the list view's text background colour: its rows have no
// text, and nothing in the program sets it.
bool Zelvo::Settle() {
    HWND list = Control(kIdSkinList);
    auto colour = [&]() -> std::optional<COLORREF> {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(list, LVM_GETTEXTBKCOLOR, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
            return std::nullopt;
        return static_cast<COLORREF>(result);
    };
    const std::optional<COLORREF> before = colour();
    if (!before) return false;
    const COLORREF marker = *before ^ 0x00010101;
    PostMessageA(list, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(marker));
    const bool handled = WaitFor([&] { return colour() == marker; });
    SendMessageTimeoutA(list, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(*before), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                        nullptr);
    return handled;
}

}  // namespace e2e
