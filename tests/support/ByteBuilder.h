// Builds little-endian byte fixtures for codec tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

class ByteBuilder {
public:
    ByteBuilder& U8(unsigned v) {
        bytes_.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    ByteBuilder& U16(unsigned v) { return U8(v).U8(v >> 8); }
    ByteBuilder& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    ByteBuilder& Bytes(std::initializer_list<unsigned> values) {
        for (unsigned v : values) U8(v);
        return *this;
    }
    ByteBuilder& Bytes(const std::vector<uint8_t>& values) {
        bytes_.insert(bytes_.end(), values.begin(), values.end());
        return *this;
    }
    ByteBuilder& Text(const std::string& s) {
        bytes_.insert(bytes_.end(), s.begin(), s.end());
        return *this;
    }
    ByteBuilder& Fill(size_t count, unsigned v) {
        bytes_.insert(bytes_.end(), count, static_cast<uint8_t>(v));
        return *this;
    }
    // Overwrites a little-endian 32-bit field already written.
    ByteBuilder& Patch32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
        return *this;
    }

    size_t size() const { return bytes_.size(); }
    uint8_t* data() { return bytes_.data(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};
