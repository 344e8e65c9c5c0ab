// Observes what the program asks the shell to open: the HTML and mailto
// associations point at a recorder program for the lifetime of this object
// and are restored afterwards. (Wine reads associations from HKCR only.)
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace e2e {

// One registry value of HKEY_CLASSES_ROOT set for a while; the value, or the
// keys made for it, are put back as they were.
class ClassesValueOverride {
public:
    ClassesValueOverride(const std::string& key, const std::string& data);
    ~ClassesValueOverride();
    ClassesValueOverride(const ClassesValueOverride&) = delete;
    ClassesValueOverride& operator=(const ClassesValueOverride&) = delete;

private:
    std::string m_key;
    std::string m_createdKey;
    bool m_existed = false;
    DWORD m_type = REG_SZ;
    std::vector<BYTE> m_data;
};

class ShellRecorder {
public:
    ShellRecorder();
    // The recorder's command line as it arrived: its quoted path, a space,
    // and the document as the shell passed it in place of "%1".
    std::string Recorder() const { return m_recorder; }
    // The command lines recorded so far, one per start.
    std::vector<std::string> Opened() const;
    // Waits until count starts are recorded.
    bool WaitOpened(size_t count) const;

private:
    std::string m_recorder;
    std::string m_record;
    std::vector<std::unique_ptr<ClassesValueOverride>> m_overrides;
};

}  // namespace e2e
