// Message maps: a class's table of the window messages, commands and
// notifications it handles, each row naming a typed handler. A row is made by
// one of the makers below, for example
//
//     OnMessage<WM_PAINT, &CMyDlg::OnPaint>(),
//     OnCommand<&CMyDlg::OnAdd>(1002),
//     OnNotify<&CMyDlg::OnClickList>(1001, NM_CLICK),
//     OnRegisteredMessage<&CMyWnd::OnTaskbarRestart>(&s_taskbarCreatedMsg),
//
// and the handler's signature is checked against the message at compile time.
#pragma once

#include <cstddef>

#include <windows.h>

class CCmdTarget;

using MessageThunk = LRESULT (*)(CCmdTarget* target, UINT message, WPARAM wParam, LPARAM lParam);

struct MessageEntry {
    UINT firstMessage;
    UINT lastMessage;        // == firstMessage except for message families
    const UINT* registered;  // registered messages: where their number is kept
    UINT id;                 // WM_COMMAND and WM_NOTIFY: the control or command id
    UINT code;               // WM_NOTIFY: the notification code
    MessageThunk thunk;
};

// A class's map: its rows, then its base class's map.
struct MessageMap {
    const MessageMap* baseMap;
    const MessageEntry* entries;
    std::size_t count;
};

namespace message_map_detail {

template <class Handler>
struct ClassOf;
template <class R, class T, class... A>
struct ClassOf<R (T::*)(A...)> {
    using type = T;
};

template <auto Handler>
auto* Target(CCmdTarget* target) {
    return static_cast<typename ClassOf<decltype(Handler)>::type*>(target);
}

template <UINT Message>
constexpr bool kNoCracker = false;

// How each window message's parameters reach its handler.
template <UINT Message, auto Handler>
LRESULT Crack(CCmdTarget* target, UINT, WPARAM wParam, LPARAM lParam) {
    auto* t = Target<Handler>(target);
    if constexpr (Message == WM_PAINT || Message == WM_CLOSE) {
        (t->*Handler)();
    } else if constexpr (Message == WM_SYSCOMMAND) {
        (t->*Handler)(static_cast<UINT>(wParam), lParam);
    } else if constexpr (Message == WM_WINDOWPOSCHANGING) {
        (t->*Handler)(reinterpret_cast<WINDOWPOS*>(lParam));
    } else if constexpr (Message == WM_SETTINGCHANGE) {
        (t->*Handler)(static_cast<UINT>(wParam), reinterpret_cast<const char*>(lParam));
    } else if constexpr (Message == WM_QUERYDRAGICON) {
        return reinterpret_cast<LRESULT>((t->*Handler)());
    } else {
        static_assert(kNoCracker<Message>, "no cracker for this message");
    }
    return 0;
}

template <auto Handler>
LRESULT CtlColor(CCmdTarget* target, UINT message, WPARAM wParam, LPARAM lParam) {
    return reinterpret_cast<LRESULT>((Target<Handler>(target)->*Handler)(
        reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message - WM_CTLCOLORMSGBOX));
}

template <auto Handler>
LRESULT Command(CCmdTarget* target, UINT, WPARAM, LPARAM) {
    (Target<Handler>(target)->*Handler)();
    return 0;
}

template <auto Handler>
LRESULT Notify(CCmdTarget* target, UINT, WPARAM, LPARAM lParam) {
    LRESULT result = 0;
    (Target<Handler>(target)->*Handler)(reinterpret_cast<NMHDR*>(lParam), &result);
    return result;
}

template <auto Handler>
LRESULT Raw(CCmdTarget* target, UINT, WPARAM wParam, LPARAM lParam) {
    return (Target<Handler>(target)->*Handler)(wParam, lParam);
}

}  // namespace message_map_detail

// A window message with its typed handler (see the crackers above).
template <UINT Message, auto Handler>
constexpr MessageEntry OnMessage() {
    return {Message, Message, nullptr, 0, 0, &message_map_detail::Crack<Message, Handler>};
}

// The WM_CTLCOLOR… family; handler: HBRUSH (HDC dc, HWND control, UINT kind),
// kind being CTLCOLOR_MSGBOX to CTLCOLOR_STATIC.
template <auto Handler>
constexpr MessageEntry OnCtlColor() {
    return {WM_CTLCOLORMSGBOX, WM_CTLCOLORSTATIC, nullptr, 0, 0, &message_map_detail::CtlColor<Handler>};
}

// WM_COMMAND from a menu item, an accelerator or a button; handler: void ().
template <auto Handler>
constexpr MessageEntry OnCommand(UINT id) {
    return {WM_COMMAND, WM_COMMAND, nullptr, id, 0, &message_map_detail::Command<Handler>};
}

// WM_NOTIFY from control id; handler: void (NMHDR*, LRESULT* result).
template <auto Handler>
constexpr MessageEntry OnNotify(UINT id, UINT code) {
    return {WM_NOTIFY, WM_NOTIFY, nullptr, id, code, &message_map_detail::Notify<Handler>};
}

// A message whose number is known only at run time (RegisterWindowMessage);
// handler: LRESULT (WPARAM, LPARAM).
template <auto Handler>
constexpr MessageEntry OnRegisteredMessage(const UINT* message) {
    return {0, 0, message, 0, 0, &message_map_detail::Raw<Handler>};
}
