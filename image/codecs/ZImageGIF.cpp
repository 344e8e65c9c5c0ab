#include "ZImageGIF.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "ZErrors.h"

namespace {

constexpr int kInChunk = 16384;
constexpr int kMaxCodeBits = 12;
constexpr int kTableSlots = 1 << kMaxCodeBits;
constexpr long kHashSize = 5003;
constexpr int kHashShift = 4;
constexpr int kTileWidth = 17;
constexpr int kTileHeight = 15;

constexpr BYTE kExtensionIntroducer = 0x21;
constexpr BYTE kImageSeparator = 0x2C;
constexpr BYTE kTrailer = 0x3B;
constexpr BYTE kLabelGraphicControl = 0xF9;
constexpr BYTE kLabelComment = 0xFE;
constexpr BYTE kLabelApplication = 0xFF;

// LZW cannot expand much more than 2730 pixels from one byte of data, and a
// frame is created twice (counted, then decoded) and may be copied, mixed and
// painted onto a canvas. Pictures whose declared frames need far more work
// than the stream could ever fill are refused instead of being allocated.
constexpr uint64_t kWorkPerStreamByte = 1u << 14;
constexpr uint64_t kWorkFloor = 1u << 24;

// The writer's limits: GIF fields are 16 bits, and the pixel cursor and run
// lengths are 32-bit signed.
constexpr DWORD kMaxSide = 0xFFFF;
constexpr uint64_t kMaxWritePixels = 0x7FFFFFFF;

WORD Le16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

int TableEntries(BYTE flags) { return 1 << ((flags & 7) + 1); }

DWORD DepthForTable(int entries) {
    if (entries <= 2) return 1;
    if (entries <= 16) return 4;
    return 8;
}

struct ImageDescriptor {
    WORD left;
    WORD top;
    WORD width;
    WORD height;
    BYTE flags;

    bool HasLocalTable() const { return (flags & 0x80) != 0; }
    bool Interlaced() const { return (flags & 0x40) != 0; }
    uint64_t Area() const { return static_cast<uint64_t>(width) * height; }
};

bool ReadImageDescriptor(ZFile* stream, ImageDescriptor& d) {
    BYTE b[9];
    if (stream->Read(b, 1, sizeof(b)) != sizeof(b)) return false;
    d.left = Le16(b);
    d.top = Le16(b + 2);
    d.width = Le16(b + 4);
    d.height = Le16(b + 6);
    d.flags = b[8];
    return true;
}

// Fills the first entries of the table from the stream; a short table keeps
// the old values past what arrived.
void ReadColorTable(ZFile* stream, ZImageGIF::tag_TabCol& table, int entries) {
    table.size = static_cast<int16_t>(entries);
    BYTE bytes[256 * 3];
    const size_t got = stream->Read(bytes, 1, static_cast<size_t>(entries) * 3);
    for (size_t i = 0; i + 2 < got; i += 3) {
        table.entries[i / 3].r = bytes[i];
        table.entries[i / 3].g = bytes[i + 1];
        table.entries[i / 3].b = bytes[i + 2];
    }
}

inline BYTE ReadIndex(const BYTE* row, DWORD x, WORD bpp) {
    switch (bpp) {
        case 8: return row[x];
        case 4: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
        default: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

inline void WriteIndex(BYTE* row, DWORD x, WORD bpp, BYTE v) {
    switch (bpp) {
        case 8: row[x] = v; break;
        case 4: {
            BYTE& b = row[x >> 1];
            b = (x & 1) ? static_cast<BYTE>((b & 0xF0) | (v & 0x0F)) : static_cast<BYTE>((b & 0x0F) | (v << 4));
            break;
        }
        default: {
            BYTE& b = row[x >> 3];
            const BYTE mask = static_cast<BYTE>(0x80 >> (x & 7));
            b = (v & 1) ? static_cast<BYTE>(b | mask) : static_cast<BYTE>(b & ~mask);
        }
    }
}

// Columns (or rows) GifMix covers: the smaller of the target's extent and the
// frame's extent less the offset, compared as unsigned 32-bit values.
DWORD MixSpan(DWORD target, DWORD frame, long offset) {
    const DWORD rest = frame - static_cast<DWORD>(offset);
    return target < rest ? target : rest;
}

// Paints every pixel of an indexed frame, transparent ones included, onto
// the true-colour canvas with its top-left corner at (left, top).
void PaintOnCanvas(const ZImage& frame, ZImage& canvas, long left, long top) {
    const RGBQUAD* palette = frame.GetPalette();
    const DWORD colours = frame.GetNumColors();
    const WORD bpp = frame.GetBpp();
    const long width = static_cast<long>(frame.GetWidth());
    const long height = static_cast<long>(frame.GetHeight());
    const long canvasWidth = static_cast<long>(canvas.GetWidth());
    const long canvasHeight = static_cast<long>(canvas.GetHeight());
    if (!palette || !canvas.IsValid() || canvas.GetBpp() != 24) return;
    for (long y = 0; y < height; ++y) {
        const long canvasRow = canvasHeight - top - y - 1;
        if (canvasRow < 0 || canvasRow >= canvasHeight) continue;
        const BYTE* src = frame.GetBits(static_cast<DWORD>(height - y - 1));
        BYTE* dst = canvas.GetBits(static_cast<DWORD>(canvasRow));
        for (long x = 0; x < width && left + x < canvasWidth; ++x) {
            const BYTE index = ReadIndex(src, static_cast<DWORD>(x), bpp);
            const RGBQUAD c = index < colours ? palette[index] : RGBQUAD{0, 0, 0, 0};
            BYTE* p = dst + 3 * (left + x);
            p[0] = c.rgbBlue;
            p[1] = c.rgbGreen;
            p[2] = c.rgbRed;
        }
    }
}

// The palette as red, green, blue triples, as GIF colour tables hold it.
void WritePalette(ZFile* stream, const RGBQUAD* palette, DWORD entries) {
    BYTE bytes[256 * 3];
    for (DWORD i = 0; i < entries; ++i) {
        bytes[3 * i] = palette[i].rgbRed;
        bytes[3 * i + 1] = palette[i].rgbGreen;
        bytes[3 * i + 2] = palette[i].rgbBlue;
    }
    stream->Write(bytes, 1, 3 * static_cast<size_t>(entries));
}

}  // namespace

// A row cursor over one image: rows are stored bottom-up, so the top of the
// picture is the last stored row.
class ZImageIterator {
public:
    explicit ZImageIterator(ZImage* image) : m_image(image) { m_rowBits = image ? image->GetBits(0) : nullptr; }

    ZImage* Image() const { return m_image; }
    bool AtPixel() const { return m_image && m_image->IsInside(m_column, m_row); }

    void ToTopRow() {
        m_column = 0;
        m_row = static_cast<LONG>(m_image->GetHeight()) - 1;
        m_rowBits = m_row >= 0 ? m_image->GetBits(static_cast<DWORD>(m_row)) : nullptr;
    }

    void SelectRow(LONG r) {
        if (r < 0 || r > static_cast<LONG>(m_image->GetHeight())) return;
        m_row = r;
        m_rowBits = m_image->GetBits(static_cast<DWORD>(r));
    }

    void PutRow(const BYTE* bytes, LONG n) {
        const LONG effWidth = static_cast<LONG>(m_image->GetEffWidth());
        if (n < 0 || n > effWidth) n = effWidth;
        if (m_rowBits) memcpy(m_rowBits, bytes, static_cast<size_t>(n));
    }

    void StepDown() {
        --m_row;
        if (m_row >= 0) m_rowBits = m_image->GetBits(static_cast<DWORD>(m_row));
    }

private:
    LONG m_column = 0;
    LONG m_row = 0;
    BYTE* m_rowBits = nullptr;
    ZImage* m_image;
};

ZImageGIF::ZImageGIF() : ZImage(FORMAT_GIF), work_left(kWorkFloor) { block_ptr = block_buf; }

ZImageGIF::ZImageGIF(const ZImageGIF& src) : ZImage(src), work_left(src.work_left) { CopyMembers(src); }

ZImageGIF& ZImageGIF::operator=(const ZImageGIF& src) {
    if (this != &src) {
        ZImage::operator=(src);
        CopyMembers(src);
    }
    return *this;
}

ZImageGIF::~ZImageGIF() = default;

void ZImageGIF::CopyMembers(const ZImageGIF& src) {
    ctrl = src.ctrl;
    pix_col = src.pix_col;
    pix_row = src.pix_row;
    pix_left = src.pix_left;
    bit_acc = src.bit_acc;
    bit_cnt = src.bit_cnt;
    is_interlaced = src.is_interlaced;
    row_pos = src.row_pos;
    row_step = src.row_step;
    frame_rows = src.frame_rows;
    pass_no = src.pass_no;
    in_pos = src.in_pos;
    in_len = src.in_len;
    memcpy(in_buf, src.in_buf, sizeof(in_buf));
    code_bits = src.code_bits;
    clear_code = src.clear_code;
    end_code = src.end_code;
    first_free = src.first_free;
    slot_limit = src.slot_limit;
    next_slot = src.next_slot;
    block_left = src.block_left;
    bits_left = src.bits_left;
    cur_byte = src.cur_byte;
    memcpy(block_buf, src.block_buf, sizeof(block_buf));
    // The cursor points into the source's own buffer: keep its place in ours.
    block_ptr = block_buf + (src.block_ptr - src.block_buf);
    memcpy(expand_stack, src.expand_stack, sizeof(expand_stack));
    memcpy(suffix_tab, src.suffix_tab, sizeof(suffix_tab));
    memcpy(prefix_tab, src.prefix_tab, sizeof(prefix_tab));
    memcpy(hash_tab, src.hash_tab, sizeof(hash_tab));
    memcpy(code_tab, src.code_tab, sizeof(code_tab));
    enc_bits = src.enc_bits;
    enc_limit = src.enc_limit;
    enc_next = src.enc_next;
    enc_clear_pending = src.enc_clear_pending;
    enc_init_bits = src.enc_init_bits;
    enc_stream = src.enc_stream;
    enc_clear = src.enc_clear;
    enc_end = src.enc_end;
    packet_len = src.packet_len;
    memcpy(packet, src.packet, sizeof(packet));
    memcpy(comment_buf, src.comment_buf, sizeof(comment_buf));
    loop_count = src.loop_count;
    disposal = src.disposal;
    work_left = src.work_left;
}

void ZImageGIF::SetDisposalMethod(int method) { disposal = method; }

long ZImageGIF::GetDisposalMethod() { return disposal; }

void ZImageGIF::SetLoops(int loops) { loop_count = loops; }

long ZImageGIF::GetLoops() { return loop_count; }

void ZImageGIF::SetComment(const char* text) {
    if (!text) return;
    strncpy(comment_buf, text, sizeof(comment_buf) - 1);
    comment_buf[sizeof(comment_buf) - 1] = '\0';
}

void ZImageGIF::GetComment(char* text) {
    if (!text) return;
    const size_t n = strnlen(comment_buf, sizeof(comment_buf) - 1);
    memcpy(text, comment_buf, n);
    text[n] = '\0';
}

bool ZImageGIF::ChargeWork(uint64_t pixels) {
    if (pixels > work_left) {
        work_left = 0;
        SetError(zerr::kGifFramesBeyondData);
        return false;
    }
    work_left -= pixels;
    return true;
}

// ---------------------------------------------------------------- reading

bool ZImageGIF::Decode(FILE* fp) {
    ZIOFile stream(fp);
    return Decode(&stream);
}

bool ZImageGIF::Decode(ZFile* stream) {
    if (!stream) return false;

    const int32_t start = stream->Tell();
    const int32_t end = stream->Size();
    const uint64_t available = end > start && start >= 0 ? static_cast<uint64_t>(end - start) : 0;
    work_left = available * kWorkPerStreamByte > kWorkFloor ? available * kWorkPerStreamByte : kWorkFloor;

    BYTE screen[13];
    if (stream->Read(screen, 1, sizeof(screen)) != sizeof(screen) || memcmp(screen, "GIF8", 4) != 0) return false;
    const long screenWidth = Le16(screen + 6);
    const long screenHeight = Le16(screen + 8);
    const BYTE screenFlags = screen[10];
    const bool globalTable = (screenFlags & 0x80) != 0;

    tag_TabCol table{};
    table.colorRes = static_cast<int16_t>(((screenFlags >> 4) & 7) + 1);
    table.size = static_cast<int16_t>(TableEntries(screenFlags));
    int canvasVotes = 0;
    if (globalTable) {
        ReadColorTable(stream, table, table.size);
    } else {
        canvasVotes = 1;
    }

    const int frames = get_num_frames(stream, &table);
    if (frames < 0) return false;
    info.numFrames = frames;
    if (info.frame < 0 || info.frame >= info.numFrames) return false;

    std::unique_ptr<ZImage> canvas;
    LONG firstTransIndex = info.transIndex;
    int k = 0;
    bool more = true;
    while (more) {
        BYTE introducer;
        if (stream->Read(&introducer, 1, 1) != 1) break;
        if (info.escape > 0) return false;
        if (introducer == kTrailer) break;
        if (introducer == kExtensionIntroducer) {
            more = DecodeExtension(stream);
            continue;
        }
        if (introducer != kImageSeparator) continue;

        ImageDescriptor frame;
        if (!ReadImageDescriptor(stream, frame)) break;
        if (info.escape == -1) {
            Destroy();
            head.biWidth = frame.width;
            head.biHeight = frame.height;
            return true;
        }
        if (frame.left + frame.width > screenWidth || frame.top + frame.height > screenHeight) continue;
        if (k == 0 && frame.width != screenWidth && frame.height != screenHeight) ++canvasVotes;
        if (frame.HasLocalTable()) ReadColorTable(stream, table, TableEntries(frame.flags));
        const DWORD depth = DepthForTable(table.size);

        const int method = (ctrl.flags >> 2) & 7;
        const bool overPrevious = k > 0 && (method == 1 || method == 2);
        std::unique_ptr<ZImageGIF> scratch;
        if (overPrevious) {
            if (!ChargeWork(static_cast<uint64_t>(GetWidth()) * GetHeight())) return false;
            scratch.reset(new (std::nothrow) ZImageGIF);
            if (!scratch) {
                SetError(zerr::kCreateNoMemory);
                return false;
            }
            scratch->Copy(*this);
            if (IsValid() && !scratch->IsValid()) {
                SetError(scratch->GetLastError());
                return false;
            }
        }
        if (k == 0) firstTransIndex = info.transIndex;

        if (!ChargeWork(frame.Area()) || !Create(frame.width, frame.height, depth, FORMAT_GIF)) return false;
        if (frame.HasLocalTable() || globalTable) {
            DWORD entries = static_cast<DWORD>(table.size);
            if (info.transIndex != -1 && table.size < 256) {
                for (int i = table.size; i < 256; ++i) table.entries[i] = rgb_color{255, 255, 255};
                entries = 256;
            }
            SetPalette(table.entries, entries);
        }

        ZImageIterator iter(this);
        iter.ToTopRow();
        SetInterlace(frame.Interlaced(), frame.height);
        int badCodes = 0;
        decoder(stream, &iter, static_cast<short>(frame.width), badCodes);
        if (info.escape != 0) return false;

        if (overPrevious && canvasVotes < 2 && !frame.HasLocalTable()) {
            const long xoffset = -static_cast<long>(frame.left);
            const long yoffset = static_cast<long>(frame.height) + frame.top - static_cast<long>(scratch->GetHeight());
            const uint64_t mixed = static_cast<uint64_t>(MixSpan(scratch->GetWidth(), GetWidth(), xoffset)) *
                                   MixSpan(scratch->GetHeight(), GetHeight(), yoffset);
            if (!ChargeWork(mixed)) return false;
            scratch->GifMix(*this, xoffset, yoffset);
            scratch->SetTransIndex(firstTransIndex);
            Transfer(*scratch);
        }
        stream->Seek(in_pos - in_len + 1, SEEK_CUR);

        if (canvasVotes >= 2) {
            info.frame = info.numFrames - 1;
            if (!canvas) {
                if (!ChargeWork(static_cast<uint64_t>(screenWidth) * screenHeight)) return false;
                canvas.reset(new (std::nothrow) ZImage);
                if (!canvas) {
                    SetError(zerr::kCreateNoMemory);
                    return false;
                }
                if (!canvas->Create(static_cast<DWORD>(screenWidth), static_cast<DWORD>(screenHeight), 24,
                                    FORMAT_GIF)) {
                    SetError(canvas->GetLastError());
                    return false;
                }
            }
            if (!ChargeWork(frame.Area())) return false;
            PaintOnCanvas(*this, *canvas, frame.left, frame.top);
        }

        if (info.frame == k) {
            more = false;
        } else {
            ++k;
        }
    }

    if (canvasVotes >= 2 && canvas) {
        if (ctrl.flags & 1) {
            RGBQUAD colour = GetPaletteColor(static_cast<BYTE>(info.transIndex));
            colour.rgbReserved = 0;
            canvas->SetTransColor(colour);
            canvas->SetTransIndex(0);
        }
        Transfer(*canvas);
    }
    return true;
}

void ZImageGIF::SetInterlace(bool interlaced, int32_t rows) {
    is_interlaced = interlaced ? 1 : 0;
    row_pos = 0;
    row_step = 8;
    frame_rows = rows;
    pass_no = 0;
    in_pos = kInChunk + 1;
}

bool ZImageGIF::DecodeExtension(ZFile* stream) {
    BYTE label;
    if (stream->Read(&label, 1, 1) != 1) return false;

    bool ok = true;
    // A first sub-block of size 0 is the extension's terminator.
    bool ended = false;
    BYTE size = 0;
    switch (label) {
        case kLabelGraphicControl: {
            ok = stream->Read(&size, 1, 1) == 1;
            if (!ok) break;
            // The bytes that arrive replace the record's, in file order.
            BYTE bytes[4] = {ctrl.flags, static_cast<BYTE>(ctrl.delay & 0xFF), static_cast<BYTE>(ctrl.delay >> 8),
                             ctrl.transIndex};
            const size_t got = stream->Read(bytes, 1, sizeof(bytes));
            ctrl.flags = bytes[0];
            ctrl.delay = Le16(bytes + 1);
            ctrl.transIndex = bytes[3];
            ok = got == size;
            if (ok) {
                if (ctrl.flags & 1) info.transIndex = ctrl.transIndex;
                info.frameDelay = ctrl.delay;
                disposal = (ctrl.flags >> 2) & 7;
            }
            break;
        }
        case kLabelComment: {
            ok = stream->Read(&size, 1, 1) == 1;
            if (!ok) break;
            ok = stream->Read(comment_buf, 1, size) == size;
            comment_buf[size] = '\0';
            ended = size == 0;
            break;
        }
        case kLabelApplication: {
            if (stream->Read(&size, 1, 1) != 1 || size != 11) return false;
            BYTE identifier[11];
            if (stream->Read(identifier, 1, sizeof(identifier)) != sizeof(identifier)) return false;
            if (stream->Read(&size, 1, 1) != 1) return false;
            BYTE data[255];
            ok = stream->Read(data, 1, size) == size;
            if (ok && size > 2) loop_count = data[1] + 256 * data[2];
            ended = size == 0;
            break;
        }
        default: break;
    }

    while (ok && !ended) {
        BYTE skip;
        if (stream->Read(&skip, 1, 1) != 1 || skip == 0) break;
        stream->Seek(skip, SEEK_CUR);
    }
    return ok;
}

int ZImageGIF::get_num_frames(ZFile* stream, tag_TabCol* table) {
    const int32_t start = stream->Tell();
    tag_TabCol copy = *table;
    int count = 0;
    for (;;) {
        BYTE b;
        if (stream->Read(&b, 1, 1) != 1 || b == kTrailer) break;
        if (b == kExtensionIntroducer) {
            DecodeExtension(stream);
            continue;
        }
        if (b != kImageSeparator) continue;

        ImageDescriptor frame;
        if (!ReadImageDescriptor(stream, frame)) break;
        ++count;
        if (frame.HasLocalTable()) ReadColorTable(stream, copy, TableEntries(frame.flags));
        if (!ChargeWork(frame.Area()) ||
            !Create(frame.width, frame.height, DepthForTable(copy.size), FORMAT_GIF)) {
            count = -1;
            break;
        }
        ZImageIterator iter(this);
        iter.ToTopRow();
        SetInterlace(frame.Interlaced(), frame.height);
        int badCodes = 0;
        decoder(stream, &iter, static_cast<short>(frame.width), badCodes);
        stream->Seek(in_pos - in_len + 1, SEEK_CUR);
    }
    stream->Seek(start, SEEK_SET);
    return count;
}

int ZImageGIF::get_byte(ZFile* stream) {
    if (in_pos >= kInChunk) {
        in_len = static_cast<int32_t>(stream->Read(in_buf, 1, kInChunk));
        if (in_len < kInChunk) in_buf[in_len] = 255;
        in_pos = 0;
    }
    if (in_pos >= in_len) return -1;
    return in_buf[in_pos++];
}

// Loads the next data sub-block into block_buf: negative at end of input.
int ZImageGIF::load_block(ZFile* stream) {
    block_ptr = block_buf;
    const int size = get_byte(stream);
    block_left = static_cast<int16_t>(size);
    if (size < 0) return size;
    // The same bytes get_byte would hand out one by one, taken in runs.
    int done = 0;
    while (done < size) {
        if (in_pos >= kInChunk) {
            const int first = get_byte(stream);
            if (first < 0) return first;
            block_buf[done++] = static_cast<BYTE>(first);
            continue;
        }
        const int available = in_len - in_pos;
        if (available <= 0) return -1;
        const int take = size - done < available ? size - done : available;
        memcpy(block_buf + done, in_buf + in_pos, static_cast<size_t>(take));
        in_pos += take;
        done += take;
    }
    return 0;
}

short ZImageGIF::init_exp(short size) {
    code_bits = static_cast<int16_t>(size + 1);
    slot_limit = static_cast<int16_t>(1 << code_bits);
    clear_code = static_cast<int16_t>(1 << size);
    end_code = static_cast<int16_t>(clear_code + 1);
    first_free = next_slot = static_cast<int16_t>(clear_code + 2);
    bits_left = 0;
    block_left = 0;
    memset(expand_stack, 0, sizeof(expand_stack));
    memset(suffix_tab, 0, sizeof(suffix_tab));
    // Only the first half: links from malformed data may reach stale entries
    // above it, which the expansion guards against.
    std::fill(prefix_tab, prefix_tab + 2048, static_cast<int16_t>(0));
    return 0;
}

short ZImageGIF::get_next_code(ZFile* stream) {
    if (bits_left == 0) {
        if (block_left <= 0) {
            const int r = load_block(stream);
            if (r < 0) return static_cast<short>(r);
        }
        cur_byte = *block_ptr++;
        --block_left;
        bits_left = 8;
    }
    // The terminator loads an empty block: the stale byte taken above drove
    // block_left negative, and the data ends as if an end code had come.
    if (block_left < 0) return end_code;

    unsigned value = static_cast<unsigned>(cur_byte) >> (8 - bits_left);
    while (code_bits > bits_left) {
        if (block_left <= 0) {
            const int r = load_block(stream);
            if (r < 0) return static_cast<short>(r);
        }
        cur_byte = *block_ptr++;
        value |= static_cast<unsigned>(cur_byte) << bits_left;
        bits_left = static_cast<int16_t>(bits_left + 8);
        --block_left;
    }
    bits_left = static_cast<int16_t>(bits_left - code_bits);
    return static_cast<short>(value & ((1u << code_bits) - 1));
}

short ZImageGIF::decoder(ZFile* stream, ZImageIterator* iter, short linewidth, int& bad_code_count) {
    bad_code_count = 0;
    const int size = get_byte(stream);
    if (size < 0) return static_cast<short>(size);
    if (size < 2 || size > 9) return -20;
    init_exp(static_cast<short>(size));

    // Descriptor widths are unsigned 16-bit: the line width is taken as such.
    const int width = static_cast<uint16_t>(linewidth);
    // Zeroed, so that packing a partial first line reads defined bytes.
    BYTE* const line = static_cast<BYTE*>(calloc(static_cast<size_t>(width) + 1, 1));
    if (!line) return -10;
    int fill = 0;
    int room = width;

    // The table state stays in locals while codes are expanded: every store
    // through a byte pointer would otherwise reload the members.
    const int clear = clear_code;
    const int end = end_code;
    const int firstFree = first_free;
    int nextSlot = next_slot;
    int slotLimit = slot_limit;
    int codeBits = code_bits;
    BYTE* const stackStart = expand_stack;
    BYTE* const stackEnd = expand_stack + sizeof(expand_stack);

    auto leave = [&](int result) {
        next_slot = static_cast<int16_t>(nextSlot);
        slot_limit = static_cast<int16_t>(slotLimit);
        code_bits = static_cast<int16_t>(codeBits);
        free(line);
        return static_cast<short>(result);
    };

    // A code lying wholly in the current sub-block is taken here; block
    // edges, terminators and the end of input go through get_next_code.
    auto nextCode = [&]() -> int {
        if (block_left >= 2) {
            int bits = bits_left;
            int left = block_left;
            BYTE* p = block_ptr;
            unsigned byte = cur_byte;
            if (bits == 0) {
                byte = *p++;
                --left;
                bits = 8;
            }
            unsigned value = byte >> (8 - bits);
            while (codeBits > bits) {
                byte = *p++;
                value |= byte << bits;
                bits += 8;
                --left;
            }
            bits_left = static_cast<int16_t>(bits - codeBits);
            block_left = static_cast<int16_t>(left);
            block_ptr = p;
            cur_byte = static_cast<BYTE>(byte);
            return static_cast<int>(value & ((1u << codeBits) - 1));
        }
        code_bits = static_cast<int16_t>(codeBits);
        return get_next_code(stream);
    };

    // Appends bytes to the line, handing out each line as it fills; a frame
    // of width 0 has nowhere to put them.
    auto emit = [&](const BYTE* bytes, int n) -> int {
        if (width == 0) return 0;
        // Most strings of busy pictures are a byte or two long.
        if (n < room && n <= 2) {
            line[fill] = bytes[0];
            if (n == 2) line[fill + 1] = bytes[1];
            fill += n;
            room -= n;
            return 0;
        }
        while (n >= room) {
            memcpy(line + fill, bytes, static_cast<size_t>(room));
            bytes += room;
            n -= room;
            const int r = out_line(iter, line, width);
            if (r < 0) return r;
            fill = 0;
            room = width;
        }
        memcpy(line + fill, bytes, static_cast<size_t>(n));
        fill += n;
        room -= n;
        return 0;
    };

    int oc = 0;
    int fc = 0;
    // The first code of the data, like the first after a clear code, has no
    // previous string to extend: streams need not begin with a clear code.
    bool first = true;
    for (;;) {
        int c = nextCode();
        if (c == end) break;
        if (c < 0) return leave(0);
        if (c == clear) {
            codeBits = size + 1;
            nextSlot = firstFree;
            slotLimit = 1 << codeBits;
            do {
                c = nextCode();
            } while (c == clear);
            if (c == end) break;
            first = true;
        }
        if (first) {
            first = false;
            if (c >= nextSlot) c = 0;
            oc = fc = c;
            const BYTE b = static_cast<BYTE>(c);
            const int r = emit(&b, 1);
            if (r < 0) return leave(r);
            continue;
        }

        int code = c;
        BYTE* sp = stackEnd;
        if (code >= nextSlot) {
            if (code > nextSlot) ++bad_code_count;
            code = oc;
            *--sp = static_cast<BYTE>(fc);
        }
        // Only malformed data (prefix links that loop) can fill the stack;
        // such a frame ends here, as if its data had run out.
        while (code >= firstFree) {
            if (sp == stackStart) return leave(0);
            *--sp = suffix_tab[code];
            code = prefix_tab[code];
        }
        if (sp == stackStart) return leave(0);
        *--sp = static_cast<BYTE>(code);
        if (nextSlot < slotLimit) {
            fc = code;
            suffix_tab[nextSlot] = static_cast<BYTE>(fc);
            prefix_tab[nextSlot] = static_cast<int16_t>(oc);
            ++nextSlot;
            oc = c;
        }
        if (nextSlot >= slotLimit && codeBits < kMaxCodeBits) {
            slotLimit <<= 1;
            ++codeBits;
        }
        const int r = emit(sp, static_cast<int>(stackEnd - sp));
        if (r < 0) return leave(r);
    }

    return leave(room != width ? out_line(iter, line, width - room) : 0);
}

int ZImageGIF::out_line(ZImageIterator* iter, unsigned char* line, int length) {
    ZImage* image = iter ? iter->Image() : nullptr;
    if (image && image->IsValid()) {
        const WORD bpp = image->GetBpp();
        const DWORD width = image->GetWidth();
        if (bpp == 4) {
            DWORD x = 0;
            for (; x + 1 < width; x += 2)
                line[x >> 1] = static_cast<BYTE>((line[x] << 4) | (line[x + 1] & 0x0F));
            if (x < width) {
                BYTE& b = line[x >> 1];
                b = static_cast<BYTE>((b & 0x0F) | (line[x] << 4));
            }
        } else if (bpp == 1) {
            DWORD x = 0;
            for (; x + 8 <= width; x += 8) {
                BYTE packed = 0;
                for (DWORD i = 0; i < 8; ++i) packed = static_cast<BYTE>(packed | ((line[x + i] & 1) << (7 - i)));
                line[x >> 3] = packed;
            }
            if (x < width) {
                // Bits past the width keep what the byte held.
                BYTE packed = line[x >> 3];
                for (DWORD i = 0; x + i < width; ++i) {
                    const BYTE mask = static_cast<BYTE>(0x80 >> i);
                    packed = static_cast<BYTE>((packed & ~mask) | ((line[x + i] & 1) << (7 - i)));
                }
                line[x >> 3] = packed;
            }
        }
    }

    if (is_interlaced) {
        if (pass_no < 4 && row_pos < frame_rows && image) {
            iter->SelectRow(frame_rows - row_pos - 1);
            iter->PutRow(line, length);
        }
        if (pass_no < 4) {
            row_pos += row_step;
            while (pass_no < 4 && row_pos >= frame_rows) {
                if (pass_no > 0) row_step /= 2;
                ++pass_no;
                row_pos = row_step / 2;
            }
        }
        return 0;
    }

    if (!iter || !iter->AtPixel()) return -1;
    iter->PutRow(line, length);
    iter->StepDown();
    return 0;
}

void ZImageGIF::GifMix(ZImage& frame, long xoffset, long yoffset) {
    const DWORD w = MixSpan(GetWidth(), frame.GetWidth(), xoffset);
    const DWORD h = MixSpan(GetHeight(), frame.GetHeight(), yoffset);
    if (!dib || !head.biClrUsed || w == 0 || h == 0) return;

    const BYTE transparent = static_cast<BYTE>(frame.GetTransIndex());
    const bool frameIndexed = frame.IsValid() && frame.IsIndexed();
    // What the frame answers for any pixel outside itself.
    const BYTE outside = frame.GetPixelIndex(-1, 0);
    const long frameWidth = static_cast<long>(frame.GetWidth());
    const long frameHeight = static_cast<long>(frame.GetHeight());
    const WORD frameBpp = frame.GetBpp();
    const WORD bpp = head.biBitCount;
    for (DWORD y = 0; y < h; ++y) {
        const long fy = static_cast<long>(y) + yoffset;
        const BYTE* src = frameIndexed && fy >= 0 && fy < frameHeight ? frame.GetBits(static_cast<DWORD>(fy)) : nullptr;
        BYTE* dst = GetBits(y);
        for (DWORD x = 0; x < w; ++x) {
            const long fx = static_cast<long>(x) + xoffset;
            const BYTE v = src && fx >= 0 && fx < frameWidth ? ReadIndex(src, static_cast<DWORD>(fx), frameBpp) : outside;
            if (v != transparent) WriteIndex(dst, x, bpp, v);
        }
    }
}

// ---------------------------------------------------------------- writing

bool ZImageGIF::Encode(FILE* fp) {
    ZIOFile stream(fp);
    return Encode(&stream);
}

bool ZImageGIF::Encode(FILE* fp, ZImage** images, int count, bool localColorMap) {
    ZIOFile stream(fp);
    return Encode(&stream, images, count, localColorMap);
}

bool ZImageGIF::WritablePicture(const ZImage& image) {
    if (!image.IsValid()) {
        SetError(zerr::kNullImage);
        return false;
    }
    if (image.GetWidth() > kMaxSide || image.GetHeight() > kMaxSide ||
        static_cast<uint64_t>(image.GetWidth()) * image.GetHeight() > kMaxWritePixels) {
        SetError(zerr::kGifTooLargeToWrite);
        return false;
    }
    return true;
}

bool ZImageGIF::Encode(ZFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    if (!WritablePicture(*this)) return false;
    if (head.biBitCount > 8) return EncodeRGB(stream);
    EncodeHeader(stream);
    EncodeExtension(stream);
    EncodeComment(stream);
    EncodeBody(stream, false);
    stream->PutC(kTrailer);
    return true;
}

bool ZImageGIF::Encode(ZFile* stream, ZImage** images, int count, bool localColorMap) {
    if (!stream) {
        SetError(zerr::kGifInvalidFilePointer);
        return false;
    }
    if (!images || count <= 0 || !images[0]) {
        SetError(zerr::kGifNoImages);
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (!images[i]) continue;
        if (!WritablePicture(*images[i])) return false;
        if (images[i]->GetBpp() > 8) {
            SetError(zerr::kGifMultipageTrueColour);
            return false;
        }
    }

    std::unique_ptr<ZImageGIF> frame(new (std::nothrow) ZImageGIF);
    if (!frame) {
        SetError(zerr::kCreateNoMemory);
        return false;
    }
    frame->Ghost(images[0]);
    frame->EncodeHeader(stream);
    if (loop_count != 1) {
        frame->loop_count = loop_count - 1 > 0 ? loop_count - 1 : 0;
        frame->EncodeLoopExtension(stream);
    }
    frame->disposal = disposal;
    frame->EncodeExtension(stream);
    EncodeComment(stream);
    frame->EncodeBody(stream, false);
    for (int i = 1; i < count; ++i) {
        if (!images[i]) {
            SetError(zerr::kGifBadImagePointer);
            return false;
        }
        frame->Ghost(images[i]);
        frame->disposal = disposal;
        frame->EncodeExtension(stream);
        frame->EncodeBody(stream, localColorMap);
    }
    stream->PutC(kTrailer);
    return true;
}

void ZImageGIF::PutBytes(ZFile* stream, const BYTE* bytes, size_t count) { stream->Write(bytes, 1, count); }

void ZImageGIF::Putword(int w, ZFile* stream) {
    const BYTE bytes[2] = {static_cast<BYTE>(w & 0xFF), static_cast<BYTE>((w >> 8) & 0xFF)};
    PutBytes(stream, bytes, sizeof(bytes));
}

void ZImageGIF::EncodeHeader(ZFile* stream) {
    PutBytes(stream, reinterpret_cast<const BYTE*>("GIF89a"), 6);
    Putword(static_cast<int>(GetWidth()), stream);
    Putword(static_cast<int>(GetHeight()), stream);
    const RGBQUAD* palette = GetPalette();
    const int bpp = head.biBitCount;
    const BYTE packed = palette ? static_cast<BYTE>(0x80 | (((bpp + 7) * 32) % 256) | (bpp - 1)) : 0x11;
    const BYTE fields[3] = {packed, 0, 0};
    PutBytes(stream, fields, sizeof(fields));
    if (palette) WritePalette(stream, palette, head.biClrUsed);
}

void ZImageGIF::EncodeLoopExtension(ZFile* stream) {
    const BYTE start[3] = {kExtensionIntroducer, kLabelApplication, 11};
    PutBytes(stream, start, sizeof(start));
    PutBytes(stream, reinterpret_cast<const BYTE*>("NETSCAPE2.0"), 11);
    const BYTE data[5] = {3, 1, static_cast<BYTE>(loop_count & 0xFF), static_cast<BYTE>((loop_count >> 8) & 0xFF), 0};
    PutBytes(stream, data, sizeof(data));
}

void ZImageGIF::EncodeExtension(ZFile* stream) {
    ctrl.flags = static_cast<BYTE>(((disposal & 7) << 2) | (info.transIndex != -1 ? 1 : 0));
    ctrl.delay = static_cast<WORD>(info.frameDelay & 0xFFFF);
    ctrl.transIndex = static_cast<BYTE>(info.transIndex);
    const BYTE bytes[8] = {kExtensionIntroducer, kLabelGraphicControl, 4, ctrl.flags,
                           static_cast<BYTE>(ctrl.delay & 0xFF), static_cast<BYTE>(ctrl.delay >> 8),
                           ctrl.transIndex, 0};
    PutBytes(stream, bytes, sizeof(bytes));
}

void ZImageGIF::EncodeComment(ZFile* stream) {
    const size_t n = strnlen(comment_buf, 255);
    if (n == 0) return;
    const BYTE start[3] = {kExtensionIntroducer, kLabelComment, static_cast<BYTE>(n)};
    PutBytes(stream, start, sizeof(start));
    PutBytes(stream, reinterpret_cast<const BYTE*>(comment_buf), n);
    stream->PutC(0);
}

void ZImageGIF::EncodeBody(ZFile* stream, bool localColorMap) {
    pix_col = 0;
    pix_row = static_cast<int32_t>(GetHeight()) - 1;
    pix_left = static_cast<int32_t>(GetWidth() * GetHeight());

    const int bpp = head.biBitCount;
    stream->PutC(kImageSeparator);
    Putword(info.xOffset, stream);
    Putword(info.yOffset, stream);
    Putword(static_cast<int>(GetWidth()), stream);
    Putword(static_cast<int>(GetHeight()), stream);
    const RGBQUAD* palette = localColorMap ? GetPalette() : nullptr;
    stream->PutC(palette ? static_cast<BYTE>(0x80 | (bpp - 1)) : 0);
    if (palette) WritePalette(stream, palette, head.biClrUsed);

    const int codeSize = bpp == 1 ? 2 : bpp;
    stream->PutC(static_cast<BYTE>(codeSize));
    switch (info.codecOption) {
        case 1: compressNONE(codeSize + 1, stream); break;
        case 2: compressLZW(codeSize + 1, stream); break;
        default: compressRLE(codeSize + 1, stream); break;
    }
    stream->PutC(0);
}

bool ZImageGIF::EncodeRGB(ZFile* stream) {
    EncodeHeader(stream);
    EncodeComment(stream);

    std::unique_ptr<ZImageGIF> tile(new (std::nothrow) ZImageGIF);
    if (!tile) {
        SetError(zerr::kCreateNoMemory);
        return false;
    }
    const DWORD width = GetWidth();
    const DWORD height = GetHeight();
    const bool transparent = info.transIndex >= 0;
    const RGBQUAD transColour = GetTransColor();

    // The lowest palette index holding each colour so far in the tile, which
    // is what the nearest-colour search answers once the pixel's own entry
    // is set. Slots are stamped with the tile number instead of cleared.
    constexpr int kSlots = 1024;
    DWORD slotKey[kSlots];
    BYTE slotIndex[kSlots];
    DWORD slotStamp[kSlots] = {};
    DWORD stamp = 0;
    auto slotFor = [&](DWORD key) {
        DWORD s = (key * 2654435761u) >> 22;
        while (slotStamp[s] == stamp && slotKey[s] != key) s = (s + 1) & (kSlots - 1);
        return s;
    };
    auto remember = [&](RGBQUAD c, BYTE index) {
        const DWORD key = c.rgbBlue | (c.rgbGreen << 8) | (static_cast<DWORD>(c.rgbRed) << 16);
        const DWORD s = slotFor(key);
        if (slotStamp[s] == stamp) return slotIndex[s];
        slotStamp[s] = stamp;
        slotKey[s] = key;
        slotIndex[s] = index;
        return index;
    };

    for (DWORD y = 0; y < height; y += kTileHeight) {
        const DWORD th = height - y < kTileHeight ? height - y : kTileHeight;
        for (DWORD x = 0; x < width; x += kTileWidth) {
            const DWORD tw = width - x < kTileWidth ? width - x : kTileWidth;
            if (tile->GetWidth() != tw || tile->GetHeight() != th) {
                if (!tile->Create(tw, th, 8, 0)) {
                    SetError(tile->GetLastError());
                    return false;
                }
            }
            if (transparent) {
                tile->SetTransIndex(0);
                tile->SetPaletteColor(0, transColour);
            }

            ++stamp;
            remember(tile->GetPaletteColor(0), 0);
            DWORD known = 1;  // entries below this one are remembered
            for (DWORD j = 0; j < th; ++j) {
                BYTE* row = tile->GetBits(j);
                for (DWORD k = 0; k < tw; ++k) {
                    const DWORD n = j * kTileWidth + k + 1 < 255 ? j * kTileWidth + k + 1 : 255;
                    // Entries of columns the tile lacks keep what Create left.
                    for (; known < n; ++known) {
                        remember(tile->GetPaletteColor(static_cast<BYTE>(known)), static_cast<BYTE>(known));
                    }
                    const RGBQUAD c =
                        GetPixelColor(static_cast<LONG>(x + k), static_cast<LONG>(height - y - th + j), true);
                    tile->SetPaletteColor(static_cast<BYTE>(n), c);
                    row[k] = remember(c, static_cast<BYTE>(n));
                    known = n + 1;
                }
            }
            tile->SetOffset(static_cast<LONG>(x), static_cast<LONG>(y));
            tile->EncodeExtension(stream);
            tile->EncodeBody(stream, true);
        }
    }
    stream->PutC(kTrailer);
    return true;
}

int ZImageGIF::GifNextPixel() {
    if (pix_left == 0) return -1;
    --pix_left;
    int v = 0;
    if (dib && head.biClrUsed) v = ReadIndex(GetBits(static_cast<DWORD>(pix_row)), static_cast<DWORD>(pix_col), head.biBitCount);
    if (++pix_col == head.biWidth) {
        pix_col = 0;
        --pix_row;
    }
    return v;
}

void ZImageGIF::StartCoder(int init_bits, ZFile* stream) {
    enc_init_bits = enc_bits = init_bits;
    enc_stream = stream;
    enc_clear_pending = 0;
    bit_acc = 0;
    bit_cnt = 0;
    packet_len = 0;
    enc_limit = static_cast<int16_t>((1 << enc_bits) - 1);
    enc_clear = 1 << (enc_init_bits - 1);
    enc_end = enc_clear + 1;
    enc_next = static_cast<int16_t>(enc_clear + 2);
}

void ZImageGIF::output(short code) {
    const uint32_t value = static_cast<uint16_t>(code);
    if (bit_cnt > 0) {
        bit_acc = (bit_acc & ((1u << bit_cnt) - 1)) | (value << bit_cnt);
    } else {
        bit_acc = value;
    }
    bit_cnt += enc_bits;
    while (bit_cnt >= 8) {
        char_out(static_cast<int>(bit_acc & 0xFF));
        bit_acc >>= 8;
        bit_cnt -= 8;
    }

    if (enc_next > enc_limit || enc_clear_pending) {
        if (enc_clear_pending) {
            enc_bits = enc_init_bits;
            enc_limit = static_cast<int16_t>((1 << enc_bits) - 1);
            enc_clear_pending = 0;
        } else {
            ++enc_bits;
            enc_limit = static_cast<int16_t>(enc_bits == kMaxCodeBits ? kTableSlots : (1 << enc_bits) - 1);
        }
    }

    if (code == enc_end) {
        while (bit_cnt > 0) {
            char_out(static_cast<int>(bit_acc & 0xFF));
            bit_acc >>= 8;
            bit_cnt -= 8;
        }
        flush_char();
        enc_stream->Flush();
        if (enc_stream->Error()) SetError(zerr::kGifWriteError);
    }
}

void ZImageGIF::char_out(int c) {
    packet[packet_len++] = static_cast<BYTE>(c);
    if (packet_len >= 254) flush_char();
}

void ZImageGIF::flush_char() {
    if (packet_len <= 0) return;
    enc_stream->PutC(static_cast<BYTE>(packet_len));
    enc_stream->Write(packet, 1, static_cast<size_t>(packet_len));
    packet_len = 0;
}

void ZImageGIF::cl_hash(long hsize) {
    for (long i = 0; i < hsize; ++i) hash_tab[i] = -1;
}

void ZImageGIF::compressNONE(int init_bits, ZFile* stream) {
    StartCoder(init_bits, stream);
    int v = GifNextPixel();
    output(static_cast<short>(enc_clear));
    while (v != -1) {
        const int next = GifNextPixel();
        output(static_cast<short>(v));
        if (enc_next < kTableSlots) {
            ++enc_next;
        } else {
            enc_next = static_cast<int16_t>(enc_clear + 2);
            enc_clear_pending = 1;
            output(static_cast<short>(enc_clear));
        }
        v = next;
    }
    output(static_cast<short>(enc_end));
}

void ZImageGIF::compressLZW(int init_bits, ZFile* stream) {
    StartCoder(init_bits, stream);
    int ent = GifNextPixel();
    cl_hash(kHashSize);
    output(static_cast<short>(enc_clear));
    int v;
    while ((v = GifNextPixel()) != -1) {
        const int32_t key = (v << kMaxCodeBits) + ent;
        long i = (v << kHashShift) ^ ent;
        if (hash_tab[i] == key) {
            ent = code_tab[i];
            continue;
        }
        if (hash_tab[i] >= 0) {
            const long step = i == 0 ? 1 : kHashSize - i;
            bool found = false;
            do {
                i -= step;
                if (i < 0) i += kHashSize;
                if (hash_tab[i] == key) {
                    found = true;
                    break;
                }
            } while (hash_tab[i] > 0);
            if (found) {
                ent = code_tab[i];
                continue;
            }
        }
        output(static_cast<short>(ent));
        if (enc_next < kTableSlots) {
            code_tab[i] = static_cast<uint16_t>(enc_next++);
            hash_tab[i] = key;
        } else {
            cl_hash(kHashSize);
            enc_next = static_cast<int16_t>(enc_clear + 2);
            enc_clear_pending = 1;
            output(static_cast<short>(enc_clear));
        }
        ent = v;
    }
    // A picture without pixels has no string to send.
    if (ent >= 0) output(static_cast<short>(ent));
    output(static_cast<short>(enc_end));
}

void ZImageGIF::compressRLE(int init_bits, ZFile* stream) {
    enc_stream = stream;
    enc_init_bits = init_bits;
    tag_RLE rle{};
    rle.clear_value = 1 << (init_bits - 1);
    rle.end_value = rle.clear_value + 1;
    rle.run_base = rle.clear_value + 2;
    rle.grow_at_init = rle.clear_value - 1;
    rle.clear_at_init = init_bits <= 3 ? 9 : rle.clear_value - 2;
    rle.out_width_init = init_bits;
    rle.max_codes = 4093 - rle.clear_value;
    rle.run_count = 0;
    rle_clear(&rle);
    rle.acc = 0;
    rle.acc_bits = 0;
    rle.block_len = 0;
    rle_output(rle.clear_value, &rle);
    for (;;) {
        const int v = GifNextPixel();
        if (rle.run_count > 0 && v != rle.run_pixel) rle_flush(&rle);
        if (v == -1) break;
        if (v == rle.run_pixel) {
            ++rle.run_count;
        } else {
            rle.run_pixel = v;
            rle.run_count = 1;
        }
    }
    rle_output(rle.end_value, &rle);
    rle_output_flush(&rle);
}

void ZImageGIF::rle_clear(tag_RLE* rle) {
    rle->out_width = rle->out_width_init;
    rle->grow_at = rle->grow_at_init;
    rle->clear_at = rle->clear_at_init;
    rle->codes_out = 0;
    rle->table_max = 0;
    rle->fresh_table = 1;
}

void ZImageGIF::rle_output(int code, tag_RLE* rle) {
    rle->acc |= static_cast<uint32_t>(code) << rle->acc_bits;
    rle->acc_bits += rle->out_width;
    while (rle->acc_bits >= 8) {
        rle_block_out(static_cast<unsigned char>(rle->acc & 0xFF), rle);
        rle->acc >>= 8;
        rle->acc_bits -= 8;
    }
}

void ZImageGIF::rle_output_flush(tag_RLE* rle) {
    if (rle->acc_bits > 0) rle_block_out(static_cast<unsigned char>(rle->acc & 0xFF), rle);
    rle_block_flush(rle);
}

void ZImageGIF::rle_block_out(unsigned char c, tag_RLE* rle) {
    rle->block[rle->block_len++] = c;
    if (rle->block_len >= 255) rle_write_block(rle);
}

void ZImageGIF::rle_block_flush(tag_RLE* rle) {
    if (rle->block_len > 0) rle_write_block(rle);
}

void ZImageGIF::rle_write_block(tag_RLE* rle) {
    enc_stream->PutC(static_cast<BYTE>(rle->block_len));
    enc_stream->Write(rle->block, 1, static_cast<size_t>(rle->block_len));
    rle->block_len = 0;
}

void ZImageGIF::rle_output_plain(int code, tag_RLE* rle) {
    rle->fresh_table = 0;
    rle_output(code, rle);
    ++rle->codes_out;
    if (rle->codes_out >= rle->grow_at) {
        ++rle->out_width;
        rle->grow_at += 1 << (rle->out_width - 1);
    }
    if (rle->codes_out >= rle->clear_at) {
        rle_output(rle->clear_value, rle);
        rle_clear(rle);
    }
}

void ZImageGIF::rle_flush(tag_RLE* rle) {
    if (rle->run_count == 1) {
        rle_output_plain(rle->run_pixel, rle);
    } else if (rle->fresh_table) {
        rle_flush_fromclear(rle->run_count, rle);
    } else if (rle->table_max < 2 || rle->table_pixel != rle->run_pixel) {
        rle_flush_clearorrep(rle->run_count, rle);
    } else {
        rle_flush_withtable(rle->run_count, rle);
    }
    rle->run_count = 0;
}

void ZImageGIF::rle_flush_fromclear(int count, tag_RLE* rle) {
    rle->clear_at = rle->max_codes;
    rle->table_pixel = rle->run_pixel;
    int n = 1;
    while (count > 0) {
        if (n == 1) {
            rle->table_max = 1;
            rle_output_plain(rle->run_pixel, rle);
            --count;
        } else if (count >= n) {
            rle->table_max = n;
            rle_output_plain(rle->run_base + n - 2, rle);
            count -= n;
        } else if (count == 1) {
            ++rle->table_max;
            rle_output_plain(rle->run_pixel, rle);
            count = 0;
        } else {
            ++rle->table_max;
            rle_output_plain(rle->run_base + count - 2, rle);
            count = 0;
        }
        n = rle->codes_out == 0 ? 1 : n + 1;
    }
    rle_reset_out_clear(rle);
}

void ZImageGIF::rle_reset_out_clear(tag_RLE* rle) {
    rle->clear_at = rle->clear_at_init;
    if (rle->codes_out >= rle->clear_at) {
        rle_output(rle->clear_value, rle);
        rle_clear(rle);
    }
}

void ZImageGIF::rle_flush_clearorrep(int count, tag_RLE* rle) {
    const unsigned withClear = 1 + rle_compute_triangle_count(static_cast<unsigned>(count),
                                                              static_cast<unsigned>(rle->max_codes));
    if (withClear < static_cast<unsigned>(count)) {
        rle_output(rle->clear_value, rle);
        rle_clear(rle);
        rle_flush_fromclear(count, rle);
        return;
    }
    for (; count > 0; --count) rle_output_plain(rle->run_pixel, rle);
}

void ZImageGIF::rle_flush_withtable(int count, tag_RLE* rle) {
    int reps = count / rle->table_max;
    int rest = count % rle->table_max;
    unsigned restCodes = rest > 0 ? 1 : 0;
    if (rle->codes_out + reps + static_cast<int>(restCodes) > rle->max_codes) {
        reps = rle->max_codes - rle->codes_out;
        rest = count - reps * rle->table_max;
        restCodes = 1 + rle_compute_triangle_count(static_cast<unsigned>(rest), static_cast<unsigned>(rle->max_codes));
    }
    if (1 + rle_compute_triangle_count(static_cast<unsigned>(count), static_cast<unsigned>(rle->max_codes)) <
        static_cast<unsigned>(reps) + restCodes) {
        rle_output(rle->clear_value, rle);
        rle_clear(rle);
        rle_flush_fromclear(count, rle);
        return;
    }
    rle->clear_at = rle->max_codes;
    for (; reps > 0; --reps) rle_output_plain(rle->run_base + rle->table_max - 2, rle);
    if (rest > 0) {
        if (rle->fresh_table) {
            rle_flush_fromclear(rest, rle);
        } else if (rest == 1) {
            rle_output_plain(rle->run_pixel, rle);
        } else {
            rle_output_plain(rle->run_base + rest - 2, rle);
        }
    }
    rle_reset_out_clear(rle);
}

unsigned ZImageGIF::rle_compute_triangle_count(unsigned count, unsigned nrepcodes) {
    const unsigned perRep = nrepcodes * (nrepcodes + 1) / 2;
    unsigned cost = 0;
    while (count >= perRep) {
        cost += nrepcodes;
        count -= perRep;
    }
    if (count > 0) {
        unsigned n = rle_isqrt(count);
        while (n * (n + 1) >= 2 * count) --n;
        while (n * (n + 1) < 2 * count) ++n;
        cost += n;
    }
    return cost;
}

unsigned ZImageGIF::rle_isqrt(unsigned x) {
    if (x < 2) return x;
    unsigned r = 1;
    for (unsigned v = x; v; v >>= 2) r <<= 1;
    for (;;) {
        const unsigned v = (x / r + r) / 2;
        if (v == r || v == r + 1) return r;
        r = v;
    }
}
