// Block-buffered reading of a ZFile for the codecs that parse their data a
// few bytes at a time (run-length packets), so that no byte costs a virtual
// call, plus the little-endian field helpers those codecs share.
#pragma once

#include <cstdint>
#include <cstring>

#include "ZFile.h"
#include "zwin.h"

namespace zbytes {

inline WORD Le16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

inline void PutLe16(BYTE* p, WORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

}  // namespace zbytes

// Positions are the stream's own (absolute). The end of the data is where
// the stream has no byte left to give, for file and memory streams alike.
// On destruction the stream is left at the position reached here.
class ZStreamReader {
public:
    explicit ZStreamReader(ZFile* stream) : m_stream(stream), m_base(stream->Tell()) {}
    ~ZStreamReader() {
        if (m_next != m_end) m_stream->Seek(static_cast<long>(Tell()), SEEK_SET);
    }
    ZStreamReader(const ZStreamReader&) = delete;
    ZStreamReader& operator=(const ZStreamReader&) = delete;

    // The next byte, or -1 at the end of the data.
    int GetC() {
        if (m_next == m_end && !Fill()) return -1;
        return m_data[m_next++];
    }

    // Copies up to n bytes to dest and returns how many there were.
    size_t Read(void* dest, size_t n) {
        BYTE* out = static_cast<BYTE*>(dest);
        size_t done = 0;
        while (done < n) {
            if (m_next == m_end) {
                // Large requests bypass the block once it is drained.
                if (n - done >= kCapacity) {
                    const size_t got = m_stream->Read(out + done, 1, n - done);
                    m_base += static_cast<int64_t>(m_end + got);
                    m_next = m_end = 0;
                    return done + got;
                }
                if (!Fill()) break;
            }
            const size_t take = n - done < m_end - m_next ? n - done : m_end - m_next;
            memcpy(out + done, m_data + m_next, take);
            m_next += take;
            done += take;
        }
        return done;
    }

    bool Eof() { return m_next == m_end && !Fill(); }

    int64_t Tell() const { return m_base + static_cast<int64_t>(m_next); }

    void Seek(int64_t position) {
        if (position >= m_base && position <= m_base + static_cast<int64_t>(m_end)) {
            m_next = static_cast<size_t>(position - m_base);
            return;
        }
        m_stream->Seek(static_cast<long>(position), SEEK_SET);
        m_base = position;
        m_next = m_end = 0;
    }

    void Skip(int64_t count) { Seek(Tell() + count); }

    // Bytes from the position to the end of the stream; -1 when the stream
    // cannot tell its size.
    int64_t Remaining() {
        const int64_t size = m_stream->Size();
        if (size < 0) return -1;
        return size > Tell() ? size - Tell() : 0;
    }

private:
    static constexpr size_t kCapacity = 16384;

    bool Fill() {
        m_base += static_cast<int64_t>(m_end);
        m_next = 0;
        m_end = m_stream->Read(m_data, 1, kCapacity);
        return m_end > 0;
    }

    ZFile* m_stream;
    // Stream position of m_data[0]; the stream itself stands at m_base + m_end.
    int64_t m_base;
    size_t m_next = 0;
    size_t m_end = 0;
    BYTE m_data[kCapacity];
};
