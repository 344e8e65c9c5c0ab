// CFileDialog: the system's file-open dialog, with a walk over the paths of a
// multiple selection.
#pragma once

#include <cstddef>
#include <vector>

#include <windows.h>

#include "framework/Strings.h"

class CWnd;

// A place in a walk over a list; null when the walk is over.
using POSITION = const void*;

class CFileDialog {
public:
    // filter: "name|patterns|name|patterns||". Only open dialogs are offered.
    CFileDialog(BOOL openFileDialog, const char* defaultExtension = nullptr, const char* fileName = nullptr,
                DWORD flags = 0, const char* filter = nullptr, CWnd* parent = nullptr);

    // IDOK with the chosen paths, IDCANCEL when cancelled or when the dialog
    // failed.
    INT_PTR DoModal();

    POSITION GetStartPosition() const;
    // The full path at position; moves position to the next path.
    CString GetNextPathName(POSITION& position) const;

    OPENFILENAMEA m_ofn{};

private:
    CString m_defaultExtension;
    std::vector<char> m_filter;
    std::vector<char> m_fileBuffer;
    CWnd* m_pParentWnd;
    std::vector<CString> m_paths;
};
