// CStdioFile: a text file read line by line through the runtime library's
// buffered streams.
#pragma once

#include <cstdio>

#include "framework/Strings.h"

class CStdioFile {
public:
    CStdioFile() = default;
    ~CStdioFile() { Close(); }
    CStdioFile(const CStdioFile&) = delete;
    CStdioFile& operator=(const CStdioFile&) = delete;

    // Opens for reading in text mode, so CR LF arrives as a single line end.
    bool Open(const char* fileName);
    void Close();

    // The next line without its line end; false at the end of the file. Lines
    // may be of any length.
    bool ReadString(CString& line);

private:
    std::FILE* m_file = nullptr;
};
