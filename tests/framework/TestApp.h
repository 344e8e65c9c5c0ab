// The application object of the framework tests: it records the commands
// that windows pass on to it.
#pragma once

#include <vector>

#include "framework/WinApp.h"

// A command no test window handles.
constexpr UINT kAppCommand = 40100;

class TestApp : public CWinApp {
public:
    std::vector<UINT> commands;

protected:
    void OnAppCommand() { commands.push_back(kAppCommand); }

    const MessageMap* GetMessageMap() const override;
    static const MessageEntry messageEntries[];
    static const MessageMap messageMap;
};

extern TestApp theApp;
