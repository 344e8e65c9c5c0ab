// The settings window run modally in process, driven from a timer inside its
// own modal loop: what hides it, what shows it, what ends it, and the
// start-hidden filter.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/SkinApp.h"
#include "res/resource.h"
#include "ui/SkinSettingsDlg.h"

namespace {

// Runs one step per timer tick inside the dialog's modal loop; a step
// returns false to be tried again on the next tick (up to a bounded number).
class Script {
public:
    using Step = std::function<bool()>;

    explicit Script(std::vector<Step> steps) : m_steps(std::move(steps)) { s_current = this; }
    ~Script() { s_current = nullptr; }

    void Start() { m_timer = SetTimer(nullptr, 0, 50, &Script::OnTimer); }
    void Stop() {
        if (m_timer) KillTimer(nullptr, m_timer);
        m_timer = 0;
    }
    bool Finished() const { return m_next == m_steps.size(); }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        Script* script = s_current;
        if (!script || script->Finished() || script->m_busy) return;
        // A step may open a nested loop (a message box); ticks inside it wait.
        script->m_busy = true;
        bool done = script->m_steps[script->m_next]();
        script->m_busy = false;
        if (done) {
            ++script->m_next;
            script->m_tries = 0;
        } else if (++script->m_tries > 200) {
            ADD_FAILURE() << "step " << script->m_next << " never came true";
            ++script->m_next;
        }
    }

    static Script* s_current;
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    int m_tries = 0;
    bool m_busy = false;
    UINT_PTR m_timer = 0;
};

Script* Script::s_current = nullptr;

// Hidden in the tray the window is no longer top-level, so FindWindow would
// not find it.
HWND Settings() {
    CWnd* main = AfxGetMainWnd();
    return main ? main->m_hWnd : nullptr;
}

bool Visible() {
    return IsWindowVisible(Settings()) != FALSE;
}

Script::Step Command(UINT id) {
    return [id] {
        PostMessageA(Settings(), WM_COMMAND, id, 0);
        return true;
    };
}

Script::Step Message(UINT message) {
    return [message] {
        PostMessageA(Settings(), message, 0, 0);
        return true;
    };
}

Script::Step Until(std::function<bool()> condition) {
    return condition;
}

class SettingsDialog : public ::testing::Test {
protected:
    // Runs the dialog with the script; the dialog's result.
    INT_PTR Run(std::vector<Script::Step> steps) {
        Script script(std::move(steps));
        script.Start();
        CSkinSettingsDlg dialog;
        m_app.m_pMainWnd = &dialog;
        INT_PTR result = dialog.DoModal();
        m_app.m_pMainWnd = nullptr;
        script.Stop();
        EXPECT_TRUE(script.Finished());
        return result;
    }

    CSkinApp m_app;
};

TEST_F(SettingsDialog, HidesToTheTrayAndComesBackUntilExit) {
    bool sawParentWhileHidden = false;
    INT_PTR result = Run({
        Until([] { return Visible(); }),
        Command(IDOK), Until([] { return !Visible(); }),
        [&] {
            sawParentWhileHidden = GetAncestor(Settings(), GA_PARENT) != GetDesktopWindow();
            return true;
        },
        Command(ID_SKIN_SETTINGS), Until([] { return Visible(); }),
        Message(WM_CLOSE), Until([] { return !Visible(); }),
        Command(ID_SKIN_SETTINGS), Until([] { return Visible(); }),
        Command(ID_HIDE), Until([] { return !Visible(); }),
        Command(ID_SKIN_SETTINGS), Until([] { return Visible(); }),
        // Escape: nothing happens, the dialog goes on.
        Command(IDCANCEL), Until([] { return Visible(); }),
        Command(ID_TRAY_EXIT),
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_TRUE(sawParentWhileHidden);
    EXPECT_EQ(nullptr, FindWindowA(nullptr, "Zelvo"));
}

TEST_F(SettingsDialog, StartedHiddenOnlyTheTrayShowsIt) {
    m_app.m_bStartHidden = true;
    INT_PTR result = Run({
        Until([] { return Settings() != nullptr; }),
        [] {
            EXPECT_FALSE(Visible());
            EXPECT_NE(nullptr, FindWindowA(nullptr, "Zelvo"));
            ShowWindow(Settings(), SW_SHOWNORMAL);
            SetWindowPos(Settings(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
            return true;
        },
        [] {
            EXPECT_FALSE(Visible()) << "a show request showed the window";
            return true;
        },
        Command(ID_SKIN_SETTINGS), Until([] { return Visible(); }),
        [] {
            EXPECT_EQ(GetDesktopWindow(), GetAncestor(Settings(), GA_PARENT));
            EXPECT_EQ(Settings(), GetForegroundWindow());
            return true;
        },
        Command(ID_TRAY_EXIT),
    });
    EXPECT_EQ(IDCANCEL, result);
}

TEST_F(SettingsDialog, SystemMenuEndsWithTheAboutItem) {
    std::string lastItem;
    UINT lastId = 0;
    UINT separatorType = 0;
    Run({
        Until([] { return Settings() != nullptr; }),
        [&] {
            HMENU menu = GetSystemMenu(Settings(), FALSE);
            int count = GetMenuItemCount(menu);
            char text[64] = "";
            GetMenuStringA(menu, count - 1, text, sizeof text, MF_BYPOSITION);
            lastItem = text;
            lastId = GetMenuItemID(menu, count - 1);
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE;
            GetMenuItemInfoA(menu, count - 2, TRUE, &info);
            separatorType = info.fType;
            return true;
        },
        Command(ID_TRAY_EXIT),
    });
    EXPECT_EQ("&About Zelvo...", lastItem);
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), lastId);
    EXPECT_TRUE(separatorType & MFT_SEPARATOR);
}

}  // namespace
