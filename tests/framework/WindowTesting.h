// What GUI tests do as a person would: wait while the thread's messages keep
// flowing, and press keys and mouse buttons through the system's input queue.
#pragma once

#include <windows.h>

// Dispatches the thread's messages until done() holds or timeoutMs have
// passed; returns done()'s last value. The check, not the time, ends a wait.
template <class Condition>
bool PumpUntil(Condition&& done, DWORD timeoutMs = 5000) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

enum class Button { Left, Right };

// Moves the pointer to point and clicks there, twice for a double click.
inline void ClickAt(POINT point, Button button = Button::Left, bool twice = false) {
    SetCursorPos(point.x, point.y);
    const DWORD down = button == Button::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
    const DWORD up = button == Button::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
    INPUT input[4]{};
    const UINT count = twice ? 4 : 2;
    for (UINT i = 0; i < count; ++i) {
        input[i].type = INPUT_MOUSE;
        input[i].mi.dwFlags = i % 2 == 0 ? down : up;
    }
    SendInput(count, input, sizeof(INPUT));
}

inline POINT CentreOf(const RECT& rect) {
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Presses and releases a key; it goes to the window with the keyboard focus.
inline void PressKey(WORD key) {
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}
