// Byte streams every codec reads and writes through: one interface over
// stdio files (ZIOFile) and growable memory blocks (ZMemFile).
#pragma once

#include <cstdio>
#include <cstddef>
#include <cstdint>

#include "zwin.h"

class ZIMAGE_API ZFile {
public:
    virtual ~ZFile() = default;
    virtual bool Close() = 0;
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    virtual bool Seek(long offset, int origin) = 0;
    virtual int32_t Tell() = 0;
    virtual int32_t Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual int32_t Error() = 0;
    virtual bool PutC(BYTE c);
    virtual int32_t GetC() = 0;
};

class ZIMAGE_API ZIOFile : public ZFile {
public:
    explicit ZIOFile(FILE* fp = nullptr);
    ~ZIOFile() override;
    ZIOFile(const ZIOFile&) = delete;
    ZIOFile& operator=(const ZIOFile&) = delete;

    bool Open(const char* name, const char* mode);
    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    int32_t Tell() override;
    int32_t Size() override;
    bool Flush() override;
    bool Eof() override;
    int32_t Error() override;
    bool PutC(BYTE c) override;
    int32_t GetC() override;

protected:
    FILE* m_fp;
    bool m_closeFile;
};

class ZIMAGE_API ZMemFile : public ZFile {
public:
    explicit ZMemFile(BYTE* buffer = nullptr, DWORD size = 0);
    ~ZMemFile() override;
    ZMemFile(const ZMemFile&) = delete;
    ZMemFile& operator=(const ZMemFile&) = delete;

    bool Open();
    BYTE* GetBuffer(bool detach = true);

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    int32_t Tell() override;
    int32_t Size() override;
    bool Flush() override;
    bool Eof() override;
    int32_t Error() override;
    bool PutC(BYTE c) override;
    int32_t GetC() override;

protected:
    bool Alloc(DWORD needed);
    void Free();

    BYTE* m_buffer;
    DWORD m_size;
    bool m_freeOnClose;
    int32_t m_position;
    int32_t m_capacity;
};
