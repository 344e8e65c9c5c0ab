#include "TestApp.h"

#include <iterator>

TestApp theApp;

const MessageEntry TestApp::messageEntries[] = {
    OnCommand<&TestApp::OnAppCommand>(kAppCommand),
};
const MessageMap TestApp::messageMap{&CCmdTarget::messageMap, messageEntries, std::size(messageEntries)};

const MessageMap* TestApp::GetMessageMap() const {
    return &messageMap;
}
