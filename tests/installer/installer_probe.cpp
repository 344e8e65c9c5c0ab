// Drives installed programs for installer_test.sh, as a user would.
//
//   installer_probe run SECONDS PROGRAM [ARGS...]
//       Runs PROGRAM and waits until it and every process it started have
//       ended (an NSIS uninstaller hands over to a copy of itself and returns
//       at once). Exits with PROGRAM's status.
//   installer_probe tip SECONDS PROGRAM FOLDER
//       Starts PROGRAM in FOLDER, prints the text of its Quick Tip, closes the
//       tip, then ends the program through its tray menu's Exit command.
//   installer_probe shortcut LNK
//       Prints the shortcut's target and start-in folder, one per line.
//   installer_probe window SECONDS TITLE
//       Waits for a top-level window with this title.
//   installer_probe click SECONDS TITLE ID
//       Waits for a visible top-level window with this title whose button ID
//       is enabled, and presses the button.
//
// Everything started runs in a job that is ended when the probe exits, so a
// failed check leaves no process behind. Output is UTF-8.
#include <windows.h>
#include <shlobj.h>

#include "framework/ErrorBarrier.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kTimedOut = 124;
constexpr UINT kExitCommand = 32771;  // the tray menu's Exit
constexpr int kTipControl = 1004;
const wchar_t kTipTitle[] = L"  Quick Tip";
const wchar_t kMainTitle[] = L"Zelvo";
const char kCannotStart[] = "cannot start the program";

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

int Fail(const char* what) {
  std::fprintf(stderr, "installer_probe: %s (error %lu)\n", what, GetLastError());
  return kFailed;
}

std::wstring CommandLine(const std::vector<std::wstring>& args) {
  std::wstring line;
  for (const std::wstring& arg : args) {
    if (!line.empty()) line += L' ';
    if (arg.find(L' ') != std::wstring::npos) {
      line += L'"' + arg + L'"';
    } else {
      line += arg;
    }
  }
  return line;
}

// A job that ends all its processes when its last handle closes, i.e. when
// the probe exits however it exits.
class Job {
 public:
  Job() : job_(CreateJobObjectW(nullptr, nullptr)) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job_) SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }
  ~Job() {
    if (process_) CloseHandle(process_);
    if (job_) CloseHandle(job_);
  }
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;

  bool Start(const std::vector<std::wstring>& args, const wchar_t* folder) {
    std::wstring line = CommandLine(args);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!job_ || !CreateProcessW(args[0].c_str(), line.data(), nullptr, nullptr, FALSE,
                                 CREATE_SUSPENDED, nullptr, folder, &si, &pi)) {
      return false;
    }
    bool joined = AssignProcessToJobObject(job_, pi.hProcess) != FALSE;
    if (joined) {
      ResumeThread(pi.hThread);
      process_ = pi.hProcess;
      pid_ = pi.dwProcessId;
    } else {
      TerminateProcess(pi.hProcess, kFailed);
      CloseHandle(pi.hProcess);
    }
    CloseHandle(pi.hThread);
    return joined;
  }

  // True once every process of the job has ended.
  bool WaitAll(DWORD ms) const {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
      JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
      if (QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &info, sizeof info,
                                    nullptr) &&
          info.ActiveProcesses == 0) {
        return true;
      }
      if (GetTickCount64() >= end) return false;
      Sleep(50);
    }
  }

  // True once the program itself has ended.
  bool WaitProgram(DWORD ms) const { return WaitForSingleObject(process_, ms) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = kFailed;
    GetExitCodeProcess(process_, &code);
    return code;
  }
  DWORD Pid() const { return pid_; }

 private:
  HANDLE job_;
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
};

// pid 0 matches a window of any process. A dialog is shown only once its
// controls hold their text, so readers ask for a visible one; a program
// started with -min never shows its window. A button id other than 0 asks for
// a window with that button enabled (a wizard and its message box share their
// title). Trailing spaces of a title do not count: an NSIS wizard ends its
// title with one.
struct WindowQuery {
  DWORD pid;
  const wchar_t* title;
  bool visible;
  int button;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lparam) {
  return CallBarrier<BOOL>(FALSE, [&] {
    auto* query = reinterpret_cast<WindowQuery*>(lparam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t text[64] = L"";
    GetWindowTextW(hwnd, text, 64);
    std::wstring title = text;
    while (!title.empty() && title.back() == L' ') title.pop_back();
    HWND button = query->button ? GetDlgItem(hwnd, query->button) : nullptr;
    if ((query->pid == 0 || pid == query->pid) && (!query->visible || IsWindowVisible(hwnd)) &&
        (!query->button || (button && IsWindowVisible(button) && IsWindowEnabled(button))) &&
        title == query->title) {
      query->found = hwnd;
      return FALSE;
    }
    return TRUE;
  });
}

HWND WaitForWindow(DWORD pid, const wchar_t* title, bool visible, DWORD ms, int button = 0) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    WindowQuery query{pid, title, visible, button, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
    if (query.found || GetTickCount64() >= end) return query.found;
    Sleep(50);
  }
}

int Run(DWORD ms, const std::vector<std::wstring>& args) {
  Job job;
  if (!job.Start(args, nullptr)) return Fail(kCannotStart);
  if (!job.WaitAll(ms)) {
    std::fprintf(stderr, "installer_probe: still running after the time-out\n");
    return kTimedOut;
  }
  return static_cast<int>(job.ExitCode());
}

int Tip(DWORD ms, const std::wstring& program, const std::wstring& folder) {
  Job job;
  if (!job.Start({program}, folder.c_str())) return Fail(kCannotStart);
  HWND tip = WaitForWindow(job.Pid(), kTipTitle, true, ms);
  if (!tip) return Fail("no Quick Tip window");
  wchar_t text[1000] = L"";
  GetDlgItemTextW(tip, kTipControl, text, 1000);
  std::wstring shown = text;
  while (!shown.empty() && (shown.back() == L'\n' || shown.back() == L'\r')) shown.pop_back();
  std::printf("%s\n", Utf8(shown).c_str());
  std::fflush(stdout);

  PostMessageW(tip, WM_COMMAND, IDCANCEL, 0);
  HWND main = WaitForWindow(job.Pid(), kMainTitle, false, ms);
  if (!main) return Fail("no Zelvo window after the Quick Tip closed");
  PostMessageW(main, WM_COMMAND, kExitCommand, 0);
  if (!job.WaitProgram(ms)) return Fail("the program did not end on Exit");
  return 0;
}

int Click(DWORD ms, const std::wstring& title, int id) {
  HWND window = WaitForWindow(0, title.c_str(), true, ms, id);
  if (!window) return Fail("no such window with that button enabled");
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
  return 0;
}

int Shortcut(const std::wstring& lnk) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Fail("no COM");
  int status = kFailed;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(lnk.c_str(), STGM_READ))) {
    wchar_t target[MAX_PATH] = L"";
    wchar_t folder[MAX_PATH] = L"";
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(folder, MAX_PATH);
    std::printf("%s\n%s\n", Utf8(target).c_str(), Utf8(folder).c_str());
    status = 0;
  } else {
    Fail("cannot read the shortcut");
  }
  if (file) file->Release();
  if (link) link->Release();
  CoUninitialize();
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Under Wine the first program to touch the desktop starts the desktop
  // process, which lives as long as its users: started inside a job it would
  // keep the job from ever emptying. Start it here, outside any job.
  GetDesktopWindow();
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  const std::wstring command = args.empty() ? L"" : args[0];
  if (command == L"shortcut" && args.size() == 2) return Shortcut(args[1]);
  const DWORD ms = args.size() >= 2 ? static_cast<DWORD>(wcstoul(args[1].c_str(), nullptr, 10)) * 1000 : 0;
  if (ms > 0) {
    if (command == L"run" && args.size() >= 3) return Run(ms, {args.begin() + 2, args.end()});
    if (command == L"tip" && args.size() == 4) return Tip(ms, args[2], args[3]);
    if (command == L"window" && args.size() == 3) {
      return WaitForWindow(0, args[2].c_str(), false, ms) ? 0 : Fail("no such window");
    }
    if (command == L"click" && args.size() == 4) {
      return Click(ms, args[2], static_cast<int>(wcstol(args[3].c_str(), nullptr, 10)));
    }
  }
  std::fprintf(stderr, "usage: installer_probe run|tip|shortcut|window|click ... (see the source)\n");
  return kUsage;
}
