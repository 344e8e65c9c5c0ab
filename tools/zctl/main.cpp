// zctl: drives the windows of other programs from shell scripts under Wine.
// Each subcommand does one thing and exits 0 on success, 1 with a message on
// failure (mostly: a window that did not turn up in time), 2 on misuse.
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kDefaultSeconds = 10.0;
constexpr DWORD kPollMs = 50;
constexpr double kDesktopSeconds = 30.0;
constexpr UINT kSendTimeoutMs = 5000;

const char kUsage[] =
    "usage: zctl [--desktop NAME] SUBCOMMAND ARGS...\n"
    "  wait TITLE [SECONDS]          wait for a visible top-level window titled TITLE\n"
    "  gone TITLE [SECONDS]          wait until no window is titled TITLE\n"
    "  command TITLE ID              post WM_COMMAND ID to the window\n"
    "  syscommand TITLE ID           post WM_SYSCOMMAND ID to the window\n"
    "  click TITLE CONTROL_ID        press a button of the dialog (BM_CLICK)\n"
    "  text TITLE CONTROL_ID         print the text of a control of the dialog\n"
    "  activate TITLE                bring the window to the front and make it the active one\n"
    "  rect TITLE                    print the window's screen rectangle: LEFT TOP RIGHT BOTTOM\n"
    "  tray-menu EXE                 open the tray menu of the running program EXE at its icon\n"
    "                                and print the menu's rectangle\n"
    "  menu-key KEY...               type keys into the open popup menu: a letter, or one of\n"
    "                                ESCAPE RETURN UP DOWN LEFT RIGHT\n"
    "  file-dialog TITLE FILE...     choose FILEs (one folder) in the open-file dialog owned by\n"
    "                                the window and press Open\n"
    "  hold SECONDS                  do nothing for SECONDS (see below)\n"
    "  list                          print every window: handle, process, class, title, rectangle\n"
    "--desktop NAME works on the windows of that desktop (a program started with\n"
    "`wine explorer /desktop=NAME,WxH PROGRAM` runs in it) instead of the default one.\n"
    "Wine may close a desktop while a program still runs in it (it does so a few\n"
    "seconds after Zelvo starts); a program that stays in it keeps it open:\n"
    "`wine explorer /desktop=NAME,WxH zctl.exe hold SECONDS`.\n"
    "TITLE is matched exactly. A window hidden in the tray (parented under a hidden\n"
    "window) is found by TITLE as well. Windows are waited for up to 10 s.\n";

// The tray callback of the program: message WM_APP + 10 for icon 131.
constexpr UINT kTrayCallbackMessage = WM_APP + 10;
constexpr WPARAM kTrayIconId = 131;
constexpr LONG kPointerAside = 24;
// Longer than a tooltip waits before it shows.
constexpr DWORD kTooltipDelayMs = 800;

// Ids of the name field of the open-file dialog: the explorer-style dialog
// has a combo box, the old-style one an edit control.
constexpr int kFileNameCombo = 0x47c;  // cmb13
constexpr int kFileNameEdit = 0x480;   // edt1

struct Failure {
    std::string message;
};

struct Misuse {
    std::string message;
};

Misuse Expected(const char* synopsis) {
    return Misuse{std::string("wrong arguments, expected: zctl ") + synopsis};
}

std::string ClassOf(HWND window) {
    char name[256];
    int length = GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? length : 0);
}

// GetWindowText reads another process's caption without sending it a
// message, so a busy program cannot stall the lookup.
std::string TitleOf(HWND window) {
    char title[512];
    int length = GetWindowTextA(window, title, sizeof title);
    return std::string(title, length > 0 ? length : 0);
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

BOOL CALLBACK Collect(HWND window, LPARAM windows) {
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> Descendants(HWND parent) {
    std::vector<HWND> windows;
    EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// A top-level window titled title; else a captioned window with that title
// anywhere below a top-level one, which is where a window hidden in the tray
// lives (the caption test skips controls such as a taskbar button).
HWND FindTitled(const std::string& title, bool visibleOnly) {
    std::vector<HWND> topLevel = TopLevelWindows();
    for (HWND window : topLevel) {
        if (TitleOf(window) == title && (!visibleOnly || IsWindowVisible(window))) return window;
    }
    if (visibleOnly) return nullptr;
    for (HWND top : topLevel) {
        for (HWND window : Descendants(top)) {
            if ((GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION && TitleOf(window) == title) {
                return window;
            }
        }
    }
    return nullptr;
}

// Calls probe until it gives a true value or seconds pass; the last result.
template <typename Probe>
auto Poll(double seconds, Probe probe) -> decltype(probe()) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
        auto result = probe();
        if (result || GetTickCount64() >= end) return result;
        Sleep(kPollMs);
    }
}

HWND NeedTitled(const std::string& title) {
    HWND window = Poll(kDefaultSeconds, [&] { return FindTitled(title, false); });
    if (!window) throw Failure{"no window titled \"" + title + "\""};
    return window;
}

unsigned long ParseNumber(const char* text, const char* what) {
    char* end = nullptr;
    unsigned long value = std::strtoul(text, &end, 0);
    if (!*text || *end) throw Misuse{std::string(what) + " is not a number: " + text};
    return value;
}

double ParseSeconds(int argc, char** argv, int index) {
    if (argc <= index) return kDefaultSeconds;
    char* end = nullptr;
    double seconds = std::strtod(argv[index], &end);
    if (!*argv[index] || *end || seconds < 0) throw Misuse{std::string("SECONDS is not a number: ") + argv[index]};
    return seconds;
}

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

HWND NeedControl(HWND dialog, const char* idText) {
    int id = static_cast<int>(ParseNumber(idText, "CONTROL_ID"));
    HWND control = GetDlgItem(dialog, id);
    if (!control) throw Failure{"\"" + TitleOf(dialog) + "\" has no control " + idText};
    return control;
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!PostMessageA(window, message, wParam, lParam)) {
        throw Failure{"could not post to \"" + TitleOf(window) + "\" (error " + std::to_string(GetLastError()) + ")"};
    }
}

// The system copies the text of WM_GETTEXT and WM_SETTEXT across processes;
// the time-out keeps a hung program from stalling the script.
std::string GetText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) {
        throw Failure{"the window does not answer"};
    }
    std::vector<char> text(length + 1);
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
        throw Failure{"the window does not answer"};
    }
    return std::string(text.data(), copied < text.size() ? copied : text.size() - 1);
}

void SetText(HWND window, const std::string& text) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &result)) {
        throw Failure{"the window does not answer"};
    }
}

void PrintRect(const RECT& rect) {
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
}

DWORD FindProcess(const std::string& exe) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    DWORD pid = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more && !pid; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, exe.c_str()) == 0) pid = entry.th32ProcessID;
    }
    CloseHandle(snapshot);
    return pid;
}

// The invisible popups of the process whose class the framework registered
// ("Zelvo:<style>:<cursor>:<brush>:<icon>"): the tray object's window is one
// of them; the others ignore the tray callback.
std::vector<HWND> TrayWindowCandidates(DWORD pid) {
    std::vector<HWND> found;
    for (HWND window : TopLevelWindows()) {
        if (ProcessOf(window) == pid && !IsWindowVisible(window) && ClassOf(window).rfind("Zelvo:", 0) == 0) {
            found.push_back(window);
        }
    }
    return found;
}

HWND VisibleMenu() {
    for (HWND window : TopLevelWindows()) {
        if (ClassOf(window) == "#32768" && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

// Where the pointer goes before the menu opens: onto the icon. Wine's
// taskbar draws its notification icons itself, squares as high as the bar
// from its right end, so a program's only icon is the rightmost square.
// Without a taskbar: near the bottom-right corner of the screen.
POINT TrayIconPoint() {
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    RECT bar;
    if (taskbar && IsWindowVisible(taskbar) && GetWindowRect(taskbar, &bar) && bar.bottom > bar.top) {
        LONG height = bar.bottom - bar.top;
        return POINT{bar.right - height / 2, bar.top + height / 2};
    }
    return POINT{GetSystemMetrics(SM_CXSCREEN) - 16, GetSystemMetrics(SM_CYSCREEN) - 12};
}

// The visible tooltips of the process that draws the taskbar.
void PutAwayTooltips() {
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    if (!taskbar) return;
    DWORD pid = ProcessOf(taskbar);
    for (HWND window : TopLevelWindows()) {
        if (ProcessOf(window) == pid && ClassOf(window) == TOOLTIPS_CLASSA && IsWindowVisible(window)) {
            PostMessageA(window, TTM_POP, 0, 0);
        }
    }
}

int Wait(int argc, char** argv) {
    if (argc < 3 || argc > 4) throw Expected("wait TITLE [SECONDS]");
    double seconds = ParseSeconds(argc, argv, 3);
    if (!Poll(seconds, [&] { return FindTitled(argv[2], true); })) {
        throw Failure{"no visible window titled \"" + std::string(argv[2]) + "\" within " + SecondsText(seconds) + " s"};
    }
    return 0;
}

int Gone(int argc, char** argv) {
    if (argc < 3 || argc > 4) throw Expected("gone TITLE [SECONDS]");
    double seconds = ParseSeconds(argc, argv, 3);
    if (!Poll(seconds, [&] { return FindTitled(argv[2], false) == nullptr; })) {
        throw Failure{"a window titled \"" + std::string(argv[2]) + "\" is still there after " +
                      SecondsText(seconds) + " s"};
    }
    return 0;
}

int Command(int argc, char** argv, UINT message) {
    if (argc != 4) throw Expected((std::string(argv[1]) + " TITLE ID").c_str());
    WPARAM id = ParseNumber(argv[3], "ID");
    Post(NeedTitled(argv[2]), message, id, 0);
    return 0;
}

int Click(int argc, char** argv) {
    if (argc != 4) throw Expected("click TITLE CONTROL_ID");
    HWND button = NeedControl(NeedTitled(argv[2]), argv[3]);
    if (!IsWindowEnabled(button)) throw Failure{"control " + std::string(argv[3]) + " is disabled"};
    // Posted: the button may open a modal dialog and not return for long.
    Post(button, BM_CLICK, 0, 0);
    return 0;
}

int Text(int argc, char** argv) {
    if (argc != 4) throw Expected("text TITLE CONTROL_ID");
    std::printf("%s\n", GetText(NeedControl(NeedTitled(argv[2]), argv[3])).c_str());
    return 0;
}

bool IsForeground(HWND window) {
    return GetForegroundWindow() == window;
}

int Activate(int argc, char** argv) {
    if (argc != 3) throw Expected("activate TITLE");
    HWND window = NeedTitled(argv[2]);
    // Without a window manager Wine's desktop window never gets the X focus,
    // so a window that became the foreground one when it opened still has an
    // inactive caption; it is drawn active only when the foreground really
    // changes to it, hence the detour through the desktop.
    if (IsForeground(window)) {
        HWND desktop = GetDesktopWindow();
        SetForegroundWindow(desktop);
        Poll(1.0, [&] { return IsForeground(desktop); });
    }
    SetForegroundWindow(window);
    if (!Poll(kDefaultSeconds, [&] { return IsForeground(window); })) {
        throw Failure{"\"" + std::string(argv[2]) + "\" did not become the active window"};
    }
    return 0;
}

int Rect(int argc, char** argv) {
    if (argc != 3) throw Expected("rect TITLE");
    RECT rect;
    GetWindowRect(NeedTitled(argv[2]), &rect);
    PrintRect(rect);
    return 0;
}

int TrayMenu(int argc, char** argv) {
    if (argc != 3) throw Expected("tray-menu EXE");
    DWORD pid = Poll(kDefaultSeconds, [&] { return FindProcess(argv[2]); });
    if (!pid) throw Failure{std::string("no process ") + argv[2]};
    std::vector<HWND> candidates;
    Poll(kDefaultSeconds, [&] {
        candidates = TrayWindowCandidates(pid);
        return !candidates.empty();
    });
    if (candidates.empty()) throw Failure{std::string("no tray window in ") + argv[2]};
    if (VisibleMenu()) throw Failure{"a popup menu is already open"};

    POINT point = TrayIconPoint();
    SetCursorPos(point.x, point.y);
    // As the shell reports a right button release over the icon.
    for (HWND window : candidates) Post(window, kTrayCallbackMessage, kTrayIconId, WM_RBUTTONUP);
    HWND menu = Poll(kDefaultSeconds, VisibleMenu);
    if (!menu) throw Failure{"the tray menu did not open"};
    RECT rect;
    GetWindowRect(menu, &rect);
    // The icon's tooltip would stay over the menu: a click puts it away on
    // Windows, not in Wine, and the open menu keeps the mouse from the
    // taskbar. So the pointer leaves the icon, to the left of the menu, and a
    // tooltip that came up all the same is put away.
    SetCursorPos(rect.left - kPointerAside, point.y);
    Sleep(kTooltipDelayMs);
    PutAwayTooltips();
    PrintRect(rect);
    return 0;
}

int MenuKey(int argc, char** argv) {
    if (argc < 3) throw Expected("menu-key KEY...");
    struct Named {
        const char* name;
        WPARAM key;
    };
    static const Named kKeys[] = {{"ESCAPE", VK_ESCAPE}, {"RETURN", VK_RETURN}, {"UP", VK_UP},
                                  {"DOWN", VK_DOWN},     {"LEFT", VK_LEFT},     {"RIGHT", VK_RIGHT}};
    HWND menu = Poll(kDefaultSeconds, VisibleMenu);
    if (!menu) throw Failure{"no popup menu is open"};
    for (int i = 2; i < argc; ++i) {
        const Named* named = nullptr;
        for (const Named& key : kKeys) {
            if (lstrcmpiA(key.name, argv[i]) == 0) named = &key;
        }
        if (named) {
            // With its scan code, so the menu loop's TranslateMessage turns
            // RETURN into the character that chooses the item.
            LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(named->key), MAPVK_VK_TO_VSC)) << 16;
            Post(menu, WM_KEYDOWN, named->key, scan | 1);
            Post(menu, WM_KEYUP, named->key, scan | 1 | (1u << 30) | (1u << 31));
        } else if (std::strlen(argv[i]) == 1) {
            // A menu finds an item by its underlined letter from WM_CHAR.
            Post(menu, WM_CHAR, static_cast<unsigned char>(argv[i][0]), 1);
        } else {
            throw Misuse{std::string("unknown key ") + argv[i]};
        }
    }
    return 0;
}

// Windows path of a file: Wine's drive Z: is the Unix root.
std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& ch : path) {
        if (ch == '/') ch = '\\';
    }
    return path;
}

HWND FindOwnedDialog(HWND owner) {
    for (HWND window : TopLevelWindows()) {
        if (ClassOf(window) == "#32770" && GetWindow(window, GW_OWNER) == owner && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

// Types text into the name field and presses Open.
void TypeAndOpen(HWND dialog, HWND field, const std::string& text) {
    SetText(field, text);
    Post(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

int FileDialog(int argc, char** argv) {
    if (argc < 4) throw Expected("file-dialog TITLE FILE...");
    HWND owner = NeedTitled(argv[2]);
    HWND dialog = Poll(kDefaultSeconds, [&] { return FindOwnedDialog(owner); });
    if (!dialog) throw Failure{"\"" + std::string(argv[2]) + "\" shows no file dialog"};
    HWND field = GetDlgItem(dialog, kFileNameCombo);
    if (!field) field = GetDlgItem(dialog, kFileNameEdit);
    if (!field) throw Failure{"the file dialog has no name field (cmb13 or edt1)"};
    // The combo box may be an extended one, whose edit control sits two
    // levels down; the text goes to the edit control itself.
    for (HWND edit : Descendants(field)) {
        if (ClassOf(edit) == "Edit") {
            field = edit;
            break;
        }
    }

    std::string folder;
    std::string names;
    for (int i = 3; i < argc; ++i) {
        std::string path = WindowsPath(argv[i]);
        std::string::size_type slash = path.rfind('\\');
        if (slash == std::string::npos) throw Misuse{"FILE needs a folder: " + path};
        std::string fileFolder = path.substr(0, slash + 1);
        if (i == 3) folder = fileFolder;
        if (fileFolder != folder) throw Misuse{"the FILEs are not in one folder"};
        names += (names.empty() ? "\"" : " \"") + path.substr(slash + 1) + "\"";
    }

    // Multiple names are taken from the dialog's current folder: go there
    // first. The dialog empties the field once it has changed folders.
    TypeAndOpen(dialog, field, folder);
    if (!Poll(kDefaultSeconds, [&] { return GetText(field) != folder; })) {
        throw Failure{"the file dialog did not open the folder " + folder};
    }
    TypeAndOpen(dialog, field, names);
    if (!Poll(kDefaultSeconds, [&] { return !IsWindow(dialog); })) {
        throw Failure{"the file dialog is still open after choosing " + names};
    }
    return 0;
}

int Hold(int argc, char** argv) {
    if (argc != 3) throw Expected("hold SECONDS");
    Sleep(static_cast<DWORD>(ParseSeconds(argc, argv, 2) * 1000));
    return 0;
}

void PrintWindow(HWND window, int depth) {
    RECT rect;
    GetWindowRect(window, &rect);
    std::printf("%*s%p pid=%lu %s \"%s\" %s(%ld,%ld)-(%ld,%ld)\n", depth * 2, "", static_cast<void*>(window),
                ProcessOf(window), ClassOf(window).c_str(), TitleOf(window).c_str(),
                IsWindowVisible(window) ? "visible " : "", rect.left, rect.top, rect.right, rect.bottom);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        PrintWindow(child, depth + 1);
    }
}

int List(int argc, char**) {
    if (argc != 2) throw Expected("list");
    for (HWND window : TopLevelWindows()) PrintWindow(window, 0);
    return 0;
}

// Windows, the pointer and the keyboard belong to a desktop; this thread
// moves to the named one before it looks for anything.
void UseDesktop(const char* name) {
    HDESK desktop = Poll(kDesktopSeconds, [&] { return OpenDesktopA(name, 0, FALSE, GENERIC_ALL); });
    if (!desktop) throw Failure{std::string("no desktop ") + name};
    if (!SetThreadDesktop(desktop)) {
        throw Failure{std::string("could not switch to desktop ") + name + " (error " +
                      std::to_string(GetLastError()) + ")"};
    }
}

// argv[1] is the subcommand, its arguments follow.
int Run(int argc, char** argv) {
    const std::string command = argv[1];
    if (command == "wait") return Wait(argc, argv);
    if (command == "gone") return Gone(argc, argv);
    if (command == "command") return Command(argc, argv, WM_COMMAND);
    if (command == "syscommand") return Command(argc, argv, WM_SYSCOMMAND);
    if (command == "click") return Click(argc, argv);
    if (command == "text") return Text(argc, argv);
    if (command == "activate") return Activate(argc, argv);
    if (command == "rect") return Rect(argc, argv);
    if (command == "tray-menu") return TrayMenu(argc, argv);
    if (command == "menu-key") return MenuKey(argc, argv);
    if (command == "file-dialog") return FileDialog(argc, argv);
    if (command == "hold") return Hold(argc, argv);
    if (command == "list") return List(argc, argv);
    throw Misuse{"unknown subcommand " + command};
}

}  // namespace

int main(int argc, char** argv) {
    int first = 1;
    const char* desktop = nullptr;
    if (argc > 2 && std::strcmp(argv[1], "--desktop") == 0) {
        desktop = argv[2];
        first = 3;
    }
    const char* command = first < argc ? argv[first] : "";
    try {
        if (!*command) throw Misuse{""};
        if (desktop) UseDesktop(desktop);
        return Run(argc - first + 1, argv + first - 1);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "zctl %s: %s\n", command, failure.message.c_str());
        return 1;
    } catch (const Misuse& misuse) {
        if (!misuse.message.empty()) std::fprintf(stderr, "zctl: %s\n", misuse.message.c_str());
        std::fputs(kUsage, stderr);
        return 2;
    }
}
