#include "framework/FileDialog.h"

#include <cstring>

#include "framework/WinApp.h"
#include "framework/Wnd.h"

namespace {

// Room for a few hundred chosen names: a selection that does not fit makes
// the system dialog fail as if cancelled.
constexpr std::size_t kFileBufferSize = 64 * 1024;

}  // namespace

CFileDialog::CFileDialog(BOOL, const char* defaultExtension, const char* fileName, DWORD flags, const char* filter,
                         CWnd* parent)
    : m_defaultExtension(defaultExtension), m_fileBuffer(kFileBufferSize), m_pParentWnd(parent) {
    if (filter) {
        m_filter.assign(filter, filter + std::strlen(filter) + 1);
        for (char& ch : m_filter) {
            if (ch == '|') ch = '\0';
        }
    }
    if (fileName) std::strncpy(m_fileBuffer.data(), fileName, m_fileBuffer.size() - 1);

    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.data();
    m_ofn.lpstrFile = m_fileBuffer.data();
    m_ofn.nMaxFile = static_cast<DWORD>(m_fileBuffer.size());
    m_ofn.lpstrDefExt = m_defaultExtension.IsEmpty() ? nullptr : m_defaultExtension.GetString();
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
}

INT_PTR CFileDialog::DoModal() {
    CWnd* owner = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
    m_ofn.hwndOwner = owner ? owner->m_hWnd : nullptr;
    m_paths.clear();
    if (!GetOpenFileNameA(&m_ofn)) return IDCANCEL;

    // One path, or the folder followed by the names, each ended by a zero
    // and the list by a second zero.
    const char* folder = m_fileBuffer.data();
    const char* name = folder + std::strlen(folder) + 1;
    if (!(m_ofn.Flags & OFN_ALLOWMULTISELECT) || !*name) {
        m_paths.emplace_back(folder);
        return IDOK;
    }
    CString prefix(folder);
    if (prefix.GetLength() > 0 && prefix.GetString()[prefix.GetLength() - 1] != '\\') prefix += '\\';
    for (; *name; name += std::strlen(name) + 1) m_paths.push_back(prefix + name);
    return IDOK;
}

POSITION CFileDialog::GetStartPosition() const {
    return m_paths.empty() ? nullptr : &m_paths.front();
}

CString CFileDialog::GetNextPathName(POSITION& position) const {
    const auto* path = static_cast<const CString*>(position);
    position = path + 1 == m_paths.data() + m_paths.size() ? nullptr : path + 1;
    return *path;
}
