// The skin store in the program folder: one bitmap per skin and the skin list
// file "images.ini", whose section "Images" has one line "base name=bitmap
// path" per skin, in the order the base names were first added.
#pragma once

#include "framework/Strings.h"

extern const char kSkinListSection[];

// The folder prefix for an executable path: the path lower-cased (A to Z
// only) with every "zelvo.exe" removed. For ...\zelvo.exe that is the folder
// with its trailing backslash; for any other name it is the whole path, and
// the store's file names are formed by appending to it all the same.
CString FolderPrefixOf(const CString& modulePath);
// FolderPrefixOf the running executable.
CString ProgramFolderPrefix();

// A skin's base name is the FileTitleOf the picture it was made from.
CString SkinBitmapPath(const CString& prefix, const CString& baseName);
CString SkinListPath(const CString& prefix);

// Appends to values the value of every line that holds "=" (all the text
// after the first one, untrimmed), in file order. The section header has no
// "=" and so gives nothing. False when the file can't be opened.
bool ReadSkinList(const CString& listPath, CStringArray& values);

// Adds or replaces the line of baseName (keys compare without regard to
// case). Failures are silent.
void WriteSkinListLine(const CString& listPath, const CString& baseName, const CString& bitmapPath);

// Deletes every line of the section whose value names bitmapPath (compared
// without regard to case, as file names are). Found by value rather than by
// the bitmap's base name: under an executable not named zelvo.exe the stored
// path's base name starts with the executable's name and matches no key.
// Failures are silent.
void DeleteSkinListLines(const CString& listPath, const CString& bitmapPath);
