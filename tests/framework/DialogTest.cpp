// Modal dialogs from the program's templates, used as a person would, and the
// tray menu resource through CMenu.
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/Dialog.h"
#include "framework/Menu.h"
#include "resource.h"
#include "tests/framework/WindowTesting.h"

namespace {

std::string TextOf(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// What DoModal returns when the test gives up on a dialog that a lost key or
// click left open: a failing test ends instead of waiting for ever.
constexpr INT_PTR kGaveUp = -2;

// The Quick Tip template: a check box and a text exchanged with members.
class TipDialog : public CDialog {
public:
    TipDialog() : CDialog(IDD_QUICKTIP) {}

    int m_showTips = 1;
    CString m_tip = "Skins rotate with every new window.";
    // What the controls showed once the dialog was up.
    int m_checkShown = -1;
    std::string m_tipShown;
    // Runs once the dialog is on the screen in front, as a person would act.
    std::function<void(TipDialog&)> m_whenShown;

protected:
    enum : UINT_PTR { kActTimer = 1, kGiveUpTimer };

    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Check(pDX, IDC_SHOWTIPS, m_showTips);
        DDX_Text(pDX, IDC_TIPTEXT, m_tip);
    }

    BOOL OnInitDialog() override {
        BOOL result = CDialog::OnInitDialog();
        m_checkShown = static_cast<int>(IsDlgButtonChecked(m_hWnd, IDC_SHOWTIPS));
        m_tipShown = TextOf(GetDlgItem(IDC_TIPTEXT));
        SetTimer(m_hWnd, kActTimer, 10, nullptr);
        SetTimer(m_hWnd, kGiveUpTimer, 10000, nullptr);
        return result;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_TIMER && wParam == kActTimer) {
            // The modal loop shows the dialog when it first runs out of messages.
            if (!IsWindowVisible() || GetForegroundWindow() != m_hWnd) return 0;
            KillTimer(m_hWnd, kActTimer);
            if (m_whenShown) m_whenShown(*this);
            return 0;
        }
        if (message == WM_TIMER && wParam == kGiveUpTimer) {
            EndDialog(kGaveUp);
            return 0;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

void PressAltF4() {
    INPUT input[4]{};
    const WORD keys[] = {VK_MENU, VK_F4, VK_F4, VK_MENU};
    for (int i = 0; i < 4; ++i) {
        input[i].type = INPUT_KEYBOARD;
        input[i].ki.wVk = keys[i];
        input[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(4, input, sizeof(INPUT));
}

TEST(Dialog, RunsModallyAndExchangesItsDataOnlyWhenAccepted) {
    const struct {
        const char* name;
        std::function<void(TipDialog&)> end;
        INT_PTR result;
        bool accepted;
    } cases[] = {
        {"Enter", [](TipDialog&) { PressKey(VK_RETURN); }, IDOK, true},
        {"click on Close", [](TipDialog& dialog) {
             RECT button;
             GetWindowRect(dialog.GetDlgItem(IDOK), &button);
             ClickAt(CentreOf(button));
         }, IDOK, true},
        {"Escape", [](TipDialog&) { PressKey(VK_ESCAPE); }, IDCANCEL, false},
        {"Alt+F4", [](TipDialog&) { PressAltF4(); }, IDCANCEL, false},
        {"EndDialog", [](TipDialog& dialog) { dialog.EndDialog(77); }, 77, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TipDialog dialog;
        dialog.m_whenShown = [&](TipDialog& shown) {
            // A click toggles the check box; the program changes the text.
            RECT box;
            GetWindowRect(shown.GetDlgItem(IDC_SHOWTIPS), &box);
            ClickAt(CentreOf(box));
            EXPECT_TRUE(PumpUntil([&] { return !IsDlgButtonChecked(shown.m_hWnd, IDC_SHOWTIPS); }));
            SetDlgItemTextA(shown.m_hWnd, IDC_TIPTEXT, "Double-click the tray icon.");
            c.end(shown);
        };
        EXPECT_EQ(c.result, dialog.DoModal());
        EXPECT_EQ(1, dialog.m_checkShown);
        EXPECT_EQ("Skins rotate with every new window.", dialog.m_tipShown);
        EXPECT_EQ(c.accepted ? 0 : 1, dialog.m_showTips);
        EXPECT_STREQ(c.accepted ? "Double-click the tray icon." : "Skins rotate with every new window.", dialog.m_tip);
        EXPECT_EQ(nullptr, dialog.m_hWnd);
    }
}

TEST(Dialog, WithoutItsTemplateDoModalFails) {
    CDialog missing(9999);
    EXPECT_EQ(-1, missing.DoModal());
}

TEST(Menu, LoadsTheTrayMenuAndItsPopup) {
    HMENU loaded = nullptr;
    {
        CMenu menu;
        ASSERT_TRUE(menu.LoadMenu(IDR_TRAYMENU));
        loaded = menu.m_hMenu;
        CMenu popup;
        ASSERT_TRUE(menu.GetSubMenu(0, popup));
        CMenu none;
        EXPECT_FALSE(menu.GetSubMenu(1, none));

        const struct {
            UINT id;
            const char* text;
        } items[] = {
            {ID_SKIN_SETTINGS, "&Skin Settings"}, {ID_TRAY_HELP, "&Help"}, {ID_SHOW_QUICKTIP, "Show Quick Tip"},
            {ID_APP_ABOUT, "&About"},             {0, ""},                 {ID_TRAY_EXIT, "&Exit"},
        };
        ASSERT_EQ(static_cast<int>(std::size(items)), popup.GetMenuItemCount());
        for (int i = 0; i < popup.GetMenuItemCount(); ++i) {
            char text[64] = {};
            GetMenuStringA(popup.m_hMenu, i, text, sizeof text, MF_BYPOSITION);
            EXPECT_EQ(items[i].id, popup.GetMenuItemID(i)) << i;
            EXPECT_STREQ(items[i].text, text) << i;
        }
    }
    EXPECT_FALSE(IsMenu(loaded)) << "a loaded menu goes with its object";

    HMENU own = CreatePopupMenu();
    {
        CMenu wrapper;
        wrapper.Attach(own);
        EXPECT_TRUE(wrapper.AppendMenu(MF_STRING, 7, "Seven"));
    }
    EXPECT_TRUE(IsMenu(own)) << "an attached menu stays with its owner";
    DestroyMenu(own);

    CMenu missing;
    EXPECT_FALSE(missing.LoadMenu(9999));
}

}  // namespace
