// GIF files: one chosen frame of a GIF87a/GIF89a stream is read, composed
// over earlier frames or onto a true-colour canvas where the stream asks for
// it; GIF89a is written for one indexed picture, several pictures, or a
// true-colour picture cut into tiles with a palette each.
#pragma once

#include <cstdint>
#include <cstdio>

#include "ZImage.h"

class ZImageIterator;

class ZIMAGE_API ZImageGIF : public ZImage {
public:
#pragma pack(push, 1)
    // Graphic control extension, in file order.
    struct tag_CtrlExt {
        BYTE flags;  // bit 0 transparency, bit 1 user input, bits 2-4 disposal
        WORD delay;  // hundredths of a second
        BYTE transIndex;
    };
#pragma pack(pop)

    // The colour table in force while a stream is read.
    struct tag_TabCol {
        int16_t colorRes;
        int16_t size;
        rgb_color entries[256];
    };

    ZImageGIF();
    ZImageGIF(const ZImageGIF& src);
    ZImageGIF& operator=(const ZImageGIF& src);
    ~ZImageGIF() override;

    bool Decode(ZFile* stream);
    bool Decode(FILE* fp);
    bool Encode(ZFile* stream);
    bool Encode(FILE* fp);
    bool Encode(ZFile* stream, ZImage** images, int count, bool localColorMap);
    bool Encode(FILE* fp, ZImage** images, int count, bool localColorMap);

    void SetDisposalMethod(int method);
    long GetDisposalMethod();
    void SetLoops(int loops);
    long GetLoops();
    void SetComment(const char* text);
    void GetComment(char* text);

protected:
    // State of the run-length compressor for one picture.
    struct tag_RLE {
        int32_t run_pixel;
        int32_t run_base;
        int32_t run_count;
        int32_t table_pixel;
        int32_t table_max;
        int32_t fresh_table;
        int32_t out_width;
        int32_t out_width_init;
        int32_t codes_out;
        int32_t grow_at;
        int32_t grow_at_init;
        int32_t clear_at;
        int32_t clear_at_init;
        int32_t max_codes;
        int32_t clear_value;
        int32_t end_value;
        uint32_t acc;
        int32_t acc_bits;
        BYTE block[256];
        int32_t block_len;
    };

    // Reading.
    bool DecodeExtension(ZFile* stream);
    int get_num_frames(ZFile* stream, tag_TabCol* table);
    short decoder(ZFile* stream, ZImageIterator* iter, short linewidth, int& bad_code_count);
    short get_next_code(ZFile* stream);
    short init_exp(short size);
    int get_byte(ZFile* stream);
    int out_line(ZImageIterator* iter, unsigned char* line, int length);
    void GifMix(ZImage& frame, long xoffset, long yoffset);

    // Writing.
    void EncodeHeader(ZFile* stream);
    void EncodeLoopExtension(ZFile* stream);
    void EncodeExtension(ZFile* stream);
    void EncodeComment(ZFile* stream);
    void EncodeBody(ZFile* stream, bool localColorMap);
    bool EncodeRGB(ZFile* stream);
    int GifNextPixel();
    void Putword(int w, ZFile* stream);
    void compressNONE(int init_bits, ZFile* stream);
    void compressLZW(int init_bits, ZFile* stream);
    void compressRLE(int init_bits, ZFile* stream);
    void output(short code);
    void cl_hash(long hsize);
    void char_out(int c);
    void flush_char();
    void rle_clear(tag_RLE* rle);
    void rle_flush(tag_RLE* rle);
    void rle_output_plain(int code, tag_RLE* rle);
    void rle_flush_fromclear(int count, tag_RLE* rle);
    void rle_reset_out_clear(tag_RLE* rle);
    void rle_flush_withtable(int count, tag_RLE* rle);
    unsigned rle_compute_triangle_count(unsigned count, unsigned nrepcodes);
    unsigned rle_isqrt(unsigned x);
    void rle_flush_clearorrep(int count, tag_RLE* rle);
    void rle_write_block(tag_RLE* rle);
    void rle_block_out(unsigned char c, tag_RLE* rle);
    void rle_block_flush(tag_RLE* rle);
    void rle_output(int code, tag_RLE* rle);
    void rle_output_flush(tag_RLE* rle);

    // Every member starts zeroed, so that no table is ever read before it
    // was written, even by a malformed stream.
    tag_CtrlExt ctrl{};
    int32_t pix_col{}, pix_row{}, pix_left{};
    uint32_t bit_acc{};
    int32_t bit_cnt{};
    int32_t is_interlaced{};
    int32_t row_pos{};
    int32_t row_step{};
    int32_t frame_rows{};
    int32_t pass_no{};
    int32_t in_pos{};
    int32_t in_len{};
    BYTE in_buf[16385]{};
    int16_t code_bits{};
    int16_t clear_code{};
    int16_t end_code{};
    int16_t first_free{};
    int16_t slot_limit{};
    int16_t next_slot{};
    int16_t block_left{};
    int16_t bits_left{};
    BYTE cur_byte{};
    BYTE block_buf[257]{};
    BYTE* block_ptr{};
    BYTE expand_stack[4096]{};
    BYTE suffix_tab[4096]{};
    int16_t prefix_tab[4096]{};
    int32_t hash_tab[5003]{};
    uint16_t code_tab[5003]{};
    int32_t enc_bits{};
    int16_t enc_limit{};
    int16_t enc_next{};
    int32_t enc_clear_pending{};
    int32_t enc_init_bits{};
    ZFile* enc_stream{};
    int32_t enc_clear{};
    int32_t enc_end{};
    int32_t packet_len{};
    BYTE packet[256]{};
    char comment_buf[256]{};
    int32_t loop_count{};
    int32_t disposal{};

private:
    void CopyMembers(const ZImageGIF& src);
    bool ChargeWork(uint64_t pixels);
    int load_block(ZFile* stream);
    void SetInterlace(bool interlaced, int32_t rows);
    void StartCoder(int init_bits, ZFile* stream);
    void PutBytes(ZFile* stream, const BYTE* bytes, size_t count);
    bool WritablePicture(const ZImage& image);

    // Pixel work one Decode may still do, scaled to the stream's size.
    uint64_t work_left;
};
