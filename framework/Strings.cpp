#include "framework/Strings.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>

CString::CString(const char* text) : m_text(text ? text : "") {}

CString::CString(const char* text, int length) : m_text(text, static_cast<size_t>(std::max(length, 0))) {}

CString& CString::operator+=(const CString& text) {
    m_text += text.m_text;
    return *this;
}

CString& CString::operator+=(const char* text) {
    if (text) m_text += text;
    return *this;
}

CString& CString::operator+=(char ch) {
    m_text += ch;
    return *this;
}

CString& CString::MakeLower() {
    for (char& ch : m_text) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    return *this;
}

int CString::Find(char ch) const {
    size_t at = m_text.find(ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const {
    size_t at = m_text.rfind(ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Replace(const char* oldText, const char* newText) {
    size_t oldLength = oldText ? std::strlen(oldText) : 0;
    if (oldLength == 0) return 0;
    const char* replacement = newText ? newText : "";
    std::string result;
    int count = 0;
    size_t from = 0;
    for (size_t at; (at = m_text.find(oldText, from)) != std::string::npos; from = at + oldLength) {
        result.append(m_text, from, at - from).append(replacement);
        ++count;
    }
    if (count > 0) m_text = result.append(m_text, from, std::string::npos);
    return count;
}

CString CString::Left(int count) const {
    return CString(m_text.c_str(), std::min(std::max(count, 0), GetLength()));
}

CString CString::Mid(int first) const {
    first = std::min(std::max(first, 0), GetLength());
    return CString(m_text.c_str() + first, GetLength() - first);
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(&text[0], text.size(), format, args);
        text.resize(static_cast<size_t>(length));
    }
    va_end(args);
    m_text = std::move(text);
}

CString operator+(const CString& a, const CString& b) {
    CString result(a);
    return result += b;
}

CString operator+(const CString& a, const char* b) {
    CString result(a);
    return result += b;
}

CString operator+(const char* a, const CString& b) {
    CString result(a);
    return result += b;
}

const CString& CStringArray::GetAt(int index) const {
    if (index < 0) throw std::out_of_range("CStringArray index");
    return m_items.at(static_cast<size_t>(index));
}

int CStringArray::Add(const CString& text) {
    m_items.push_back(text);
    return GetSize() - 1;
}

void CStringArray::RemoveAt(int index, int count) {
    if (index < 0 || count < 0 || index > GetSize() - count) throw std::out_of_range("CStringArray index");
    m_items.erase(m_items.begin() + index, m_items.begin() + index + count);
}

static CString FileNameOf(const CString& path) {
    int start = path.GetLength() >= 2 && path.GetString()[1] == ':' ? 2 : 0;
    for (char separator : {'\\', '/'}) {
        int after = path.ReverseFind(separator) + 1;
        if (after > start) start = after;
    }
    return path.Mid(start);
}

CString FileTitleOf(const CString& path) {
    CString name = FileNameOf(path);
    int dot = name.ReverseFind('.');
    return dot < 0 ? name : name.Left(dot);
}

CString FileExtensionOf(const CString& path) {
    CString name = FileNameOf(path);
    int dot = name.ReverseFind('.');
    return dot < 0 ? CString() : name.Mid(dot + 1);
}
