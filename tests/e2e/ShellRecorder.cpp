#include "ShellRecorder.h"

#include <stdexcept>

#include "Harness.h"

namespace e2e {

namespace {

bool KeyExists(const std::string& key) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

// The first key along the path that does not exist yet, or "".
std::string FirstMissingKey(const std::string& key) {
    for (size_t end = key.find('\\');; end = key.find('\\', end + 1)) {
        const std::string part = key.substr(0, end);
        if (!KeyExists(part)) return part;
        if (end == std::string::npos) return std::string();
    }
}

std::string WindowsPath(const char* path) {
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) throw std::runtime_error(std::string("no Windows path for ") + path);
    return std::string(full, length);
}

}  // namespace

ClassesValueOverride::ClassesValueOverride(const std::string& key, const std::string& data) : m_key(key) {
    m_createdKey = FirstMissingKey(key);
    DWORD size = 0;
    if (m_createdKey.empty() &&
        RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_ANY | RRF_NOEXPAND, &m_type, nullptr, &size) ==
            ERROR_SUCCESS) {
        m_data.resize(size);
        m_existed = RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_ANY | RRF_NOEXPAND, &m_type,
                                 m_data.data(), &size) == ERROR_SUCCESS;
        m_data.resize(size);
    }
    HKEY handle;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        throw std::runtime_error("cannot open HKCR\\" + key);
    LSTATUS status = RegSetValueExA(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                    static_cast<DWORD>(data.size() + 1));
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS) throw std::runtime_error("cannot write HKCR\\" + key);
}

ClassesValueOverride::~ClassesValueOverride() {
    if (!m_createdKey.empty()) {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, m_createdKey.c_str());
        RegDeleteKeyA(HKEY_CLASSES_ROOT, m_createdKey.c_str());
    } else if (m_existed) {
        RegSetKeyValueA(HKEY_CLASSES_ROOT, m_key.c_str(), nullptr, m_type, m_data.data(),
                        static_cast<DWORD>(m_data.size()));
    } else {
        RegDeleteKeyValueA(HKEY_CLASSES_ROOT, m_key.c_str(), nullptr);
    }
}

ShellRecorder::ShellRecorder() {
    const std::string recorder = WindowsPath(E2E_RECORDER_EXE);
    m_recorder = "\"" + recorder + "\"";
    m_record = Join(recorder.substr(0, recorder.rfind('\\')), "opened.txt");
    DeleteFileA(m_record.c_str());
    const std::string command = m_recorder + " \"%1\"";
    m_overrides.push_back(std::make_unique<ClassesValueOverride>(".html", "htmlfile"));
    m_overrides.push_back(std::make_unique<ClassesValueOverride>("htmlfile\\shell\\open\\command", command));
    m_overrides.push_back(std::make_unique<ClassesValueOverride>("mailto\\shell\\open\\command", command));
}

std::vector<std::string> ShellRecorder::Opened() const {
    return ReadLines(m_record);
}

bool ShellRecorder::WaitOpened(size_t count) const {
    return WaitFor([&] { return Opened().size() >= count; });
}

}  // namespace e2e
