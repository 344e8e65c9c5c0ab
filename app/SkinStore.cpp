#include "app/SkinStore.h"

#include <cstring>
#include <vector>

#include <windows.h>

#include "framework/StdioFile.h"
#include "framework/WinApp.h"

const char kSkinListSection[] = "Images";

CString FolderPrefixOf(const CString& modulePath) {
    CString prefix(modulePath);
    prefix.MakeLower();
    prefix.Replace("zelvo.exe", "");
    return prefix;
}

CString ProgramFolderPrefix() {
    return FolderPrefixOf(ModuleFileName());
}

CString SkinBitmapPath(const CString& prefix, const CString& baseName) {
    CString path;
    path.Format("%s%s.bmp", prefix.GetString(), baseName.GetString());
    return path;
}

CString SkinListPath(const CString& prefix) {
    CString path;
    path.Format("%simages.ini", prefix.GetString());
    return path;
}

bool ReadSkinList(const CString& listPath, CStringArray& values) {
    CStdioFile file;
    if (!file.Open(listPath)) return false;
    CString line;
    while (file.ReadString(line)) {
        int equals = line.Find('=');
        if (equals >= 0) values.Add(line.Mid(equals + 1));
    }
    return true;
}

void WriteSkinListLine(const CString& listPath, const CString& baseName, const CString& bitmapPath) {
    WritePrivateProfileStringA(kSkinListSection, baseName, bitmapPath, listPath);
}

// The section as "key=value" strings; empty when the file can't be read.
static std::vector<CString> ReadSkinListSection(const CString& listPath) {
    std::vector<char> buffer(4096);
    DWORD length;
    // A full buffer reports its size less two.
    while ((length = GetPrivateProfileSectionA(kSkinListSection, buffer.data(), static_cast<DWORD>(buffer.size()),
                                               listPath)) >= buffer.size() - 2) {
        buffer.resize(buffer.size() * 2);
    }
    std::vector<CString> entries;
    for (const char* entry = buffer.data(); *entry; entry += std::strlen(entry) + 1) entries.emplace_back(entry);
    return entries;
}

void DeleteSkinListLines(const CString& listPath, const CString& bitmapPath) {
    for (const CString& entry : ReadSkinListSection(listPath)) {
        int equals = entry.Find('=');
        if (equals >= 0 && lstrcmpiA(entry.Mid(equals + 1), bitmapPath) == 0) {
            WritePrivateProfileStringA(kSkinListSection, entry.Left(equals), nullptr, listPath);
        }
    }
}
