// CString and CStringArray: the framework's ANSI string and growable string
// array, thin wrappers over the standard library with the interface the
// application code is written against.
#pragma once

#include <string>
#include <vector>

class CString {
public:
    CString() = default;
    CString(const char* text);  // null is the empty string
    CString(const char* text, int length);

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    const char* GetString() const { return m_text.c_str(); }
    operator const char*() const { return m_text.c_str(); }

    CString& operator+=(const CString& text);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);

    // Only A to Z change, as the runtime library's _strlwr does in the C locale.
    CString& MakeLower();

    // Index of the first or the last occurrence, or -1.
    int Find(char ch) const;
    int ReverseFind(char ch) const;

    // Replaces every non-overlapping occurrence, scanning left to right once;
    // returns how many were replaced.
    int Replace(const char* oldText, const char* newText);

    // Counts and positions are clamped to the string.
    CString Left(int count) const;
    CString Mid(int first) const;

    void Format(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b) { return a.m_text == (b ? b : ""); }
    friend bool operator==(const char* a, const CString& b) { return b == a; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator!=(const char* a, const CString& b) { return !(b == a); }

private:
    std::string m_text;
};

// The parts of a path as the runtime library's _splitpath gives them: the
// file name starts after the drive and the last folder separator (\ or /),
// and its extension follows the name's last dot.
// The file name without its extension, case kept.
CString FileTitleOf(const CString& path);
// The extension without its dot; empty when the name has none.
CString FileExtensionOf(const CString& path);

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const char* b);
CString operator+(const char* a, const CString& b);

class CStringArray {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }

    // Out-of-range indices throw std::out_of_range.
    const CString& GetAt(int index) const;
    const CString& operator[](int index) const { return GetAt(index); }

    // Returns the index of the new element.
    int Add(const CString& text);
    // Removes count elements from index; the later ones move up.
    void RemoveAt(int index, int count = 1);

private:
    std::vector<CString> m_items;
};
