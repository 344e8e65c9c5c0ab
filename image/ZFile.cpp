#include "ZFile.h"

#include <cstdlib>
#include <cstring>
#include <limits>

bool ZFile::PutC(BYTE c) { return Write(&c, 1, 1) == 1; }

ZIOFile::ZIOFile(FILE* fp) : m_fp(fp), m_closeFile(fp == nullptr) {}

ZIOFile::~ZIOFile() {
    if (m_fp && m_closeFile) fclose(m_fp);
}

bool ZIOFile::Open(const char* name, const char* mode) {
    if (m_fp) return false;
    m_fp = fopen(name, mode);
    if (!m_fp) return false;
    m_closeFile = true;
    return true;
}

bool ZIOFile::Close() {
    if (!m_fp || !m_closeFile) return true;
    const int result = fclose(m_fp);
    m_fp = nullptr;
    return result == 0;
}

size_t ZIOFile::Read(void* buffer, size_t size, size_t count) {
    return m_fp ? fread(buffer, size, count, m_fp) : 0;
}

size_t ZIOFile::Write(const void* buffer, size_t size, size_t count) {
    return m_fp ? fwrite(buffer, size, count, m_fp) : 0;
}

bool ZIOFile::Seek(long offset, int origin) { return m_fp && fseek(m_fp, offset, origin) == 0; }

int32_t ZIOFile::Tell() { return m_fp ? static_cast<int32_t>(ftell(m_fp)) : 0; }

int32_t ZIOFile::Size() {
    if (!m_fp) return -1;
    const long position = ftell(m_fp);
    fseek(m_fp, 0, SEEK_END);
    const long size = ftell(m_fp);
    fseek(m_fp, position, SEEK_SET);
    return static_cast<int32_t>(size);
}

bool ZIOFile::Flush() { return m_fp && fflush(m_fp) == 0; }

bool ZIOFile::Eof() { return !m_fp || feof(m_fp) != 0; }

int32_t ZIOFile::Error() { return m_fp ? ferror(m_fp) : -1; }

bool ZIOFile::PutC(BYTE c) { return m_fp && fputc(c, m_fp) == c; }

int32_t ZIOFile::GetC() { return m_fp ? getc(m_fp) : -1; }

ZMemFile::ZMemFile(BYTE* buffer, DWORD size)
    : m_buffer(buffer),
      m_size(size),
      m_freeOnClose(buffer == nullptr),
      m_position(0),
      m_capacity(static_cast<int32_t>(size)) {}

ZMemFile::~ZMemFile() { Close(); }

bool ZMemFile::Open() {
    if (m_buffer) return false;
    m_size = 0;
    m_capacity = 0;
    m_position = 0;
    // An open stream needs a block even before its first write.
    m_buffer = static_cast<BYTE*>(malloc(1));
    m_freeOnClose = true;
    return m_buffer != nullptr;
}

bool ZMemFile::Close() {
    if (m_buffer && m_freeOnClose) {
        free(m_buffer);
        m_buffer = nullptr;
        m_size = 0;
    }
    return true;
}

void ZMemFile::Free() { Close(); }

BYTE* ZMemFile::GetBuffer(bool detach) {
    m_freeOnClose = !detach;
    return m_buffer;
}

size_t ZMemFile::Read(void* buffer, size_t size, size_t count) {
    if (!m_buffer || !buffer || m_position < 0 || static_cast<DWORD>(m_position) > m_size) return 0;
    if (size == 0 || count == 0 || count > std::numeric_limits<size_t>::max() / size) return 0;
    size_t n = size * count;
    const size_t left = m_size - static_cast<DWORD>(m_position);
    if (n > left) n = left;
    memcpy(buffer, m_buffer + m_position, n);
    m_position += static_cast<int32_t>(n);
    return n / size;
}

bool ZMemFile::Alloc(DWORD needed) {
    if (static_cast<int64_t>(needed) <= m_capacity) return true;
    const uint64_t missing = static_cast<uint64_t>(needed) - static_cast<uint64_t>(m_capacity);
    const uint64_t grown = m_capacity + (missing + 4095) / 4096 * 4096;
    if (grown > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return false;
    BYTE* block = static_cast<BYTE*>(m_buffer ? realloc(m_buffer, static_cast<size_t>(grown))
                                              : malloc(static_cast<size_t>(grown)));
    if (!block) return false;
    m_buffer = block;
    m_freeOnClose = true;
    m_capacity = static_cast<int32_t>(grown);
    return true;
}

size_t ZMemFile::Write(const void* buffer, size_t size, size_t count) {
    if (!m_buffer || !buffer || size == 0 || count == 0) return 0;
    if (count > std::numeric_limits<size_t>::max() / size) return 0;
    const uint64_t n = static_cast<uint64_t>(size) * count;
    const uint64_t end = static_cast<uint64_t>(m_position) + n;
    if (end > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return 0;
    if (static_cast<int64_t>(end) > m_capacity && !Alloc(static_cast<DWORD>(end))) return 0;
    memcpy(m_buffer + m_position, buffer, static_cast<size_t>(n));
    m_position = static_cast<int32_t>(end);
    if (static_cast<DWORD>(m_position) > m_size) m_size = static_cast<DWORD>(m_position);
    return count;
}

bool ZMemFile::Seek(long offset, int origin) {
    if (!m_buffer) return false;
    int64_t base;
    switch (origin) {
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = m_position; break;
        case SEEK_END: base = m_size; break;
        default: return false;
    }
    const int64_t position = base + offset;
    if (position < 0 || position > std::numeric_limits<int32_t>::max()) return false;
    m_position = static_cast<int32_t>(position);
    return true;
}

int32_t ZMemFile::Tell() { return m_buffer ? m_position : -1; }

int32_t ZMemFile::Size() { return m_buffer ? static_cast<int32_t>(m_size) : -1; }

bool ZMemFile::Flush() { return m_buffer != nullptr; }

bool ZMemFile::Eof() { return !m_buffer || static_cast<DWORD>(m_position) >= m_size; }

int32_t ZMemFile::Error() {
    if (!m_buffer) return -1;
    return static_cast<DWORD>(m_position) > m_size ? 1 : 0;
}

bool ZMemFile::PutC(BYTE c) { return Write(&c, 1, 1) == 1; }

int32_t ZMemFile::GetC() {
    if (Eof()) return -1;
    return m_buffer[m_position++];
}
