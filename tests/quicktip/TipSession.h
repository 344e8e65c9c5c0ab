// The Quick Tip dialog shown the way the program shows it (constructed with no
// parent, run modally, destroyed), on a thread of its own so that a dialog
// that never ends fails the test program instead of hanging it, and driven
// the way a person drives it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

// The open dialog as a person sees and handles it.
class TipWindow {
public:
    explicit TipWindow(HWND dialog) : m_hWnd(dialog) {}

    HWND Handle() const { return m_hWnd; }
    // The text of the tip area.
    std::string Tip() const;
    bool IsEnabled(int id) const;
    bool IsChecked(int id) const;
    bool HasFocus(int id) const;

    // A mouse click on a button or check box.
    void Click(int id) const;
    // A key pressed where the keyboard focus is; it takes effect once the
    // dialog reads its messages again.
    void Press(UINT key) const;
    // The caption's close box.
    void CloseBox() const;

private:
    HWND m_hWnd;
};

using TipScript = std::function<void(const TipWindow&)>;

struct Showing {
    bool showAtStart = false;  // the constructed dialog's setting
    INT_PTR result = 0;        // DoModal's, when it ran
    std::vector<std::string> messageBoxes;  // their texts, each answered with OK
};

// Constructs the dialog, runs it with script when there is one (else, as at
// start-up with tips off, it is only constructed and destroyed) and destroys
// it. A dialog that does not come up, or that the script leaves open, fails
// the test.
Showing ShowQuickTip(const TipScript& script);
