#include "framework/StdioFile.h"

#include <cstring>

bool CStdioFile::Open(const char* fileName) {
    Close();
    m_file = std::fopen(fileName, "rt");
    return m_file != nullptr;
}

void CStdioFile::Close() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
}

bool CStdioFile::ReadString(CString& line) {
    line = CString();
    if (!m_file) return false;
    char chunk[256];
    bool readAny = false;
    while (std::fgets(chunk, sizeof chunk, m_file)) {
        readAny = true;
        size_t length = std::strlen(chunk);
        if (length > 0 && chunk[length - 1] == '\n') {
            line += CString(chunk, static_cast<int>(length - 1));
            return true;
        }
        line += CString(chunk, static_cast<int>(length));
    }
    return readAny;
}
