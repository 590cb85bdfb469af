#include "app/ChunkReader.h"

#include <cmath>
#include <cstring>

namespace vantor {

namespace {
constexpr uint16_t kHeaderChunk = 0x1000;
}

void damaged(const std::string& what) {
    throw DamagedFile(what);
}

std::string chunkName(uint16_t id) {
    static const char digits[] = "0123456789abcdef";
    std::string text = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) {
        text += digits[(id >> shift) & 0xF];
    }
    return text;
}

std::optional<ChunkReader> ChunkReader::afterHeader(const uint8_t* data, size_t size,
                                                    std::string& version) {
    if (size < 2) {
        return std::nullopt;
    }
    const uint16_t header = static_cast<uint16_t>(data[0] | (data[1] << 8));
    const bool swap = header != kHeaderChunk;
    if (swap && header != ((kHeaderChunk >> 8) | ((kHeaderChunk & 0xFF) << 8))) {
        return std::nullopt;
    }
    ChunkReader r(data, 2, size, swap);
    version = r.text();
    return r;
}

void ChunkReader::need(uint64_t bytes, const char* what) const {
    if (bytes > remaining()) {
        damaged(std::string(what) + " at byte " + std::to_string(pos_) +
                " runs past the end of its chunk");
    }
}

uint8_t ChunkReader::u8() {
    need(1, "a value");
    return data_[pos_++];
}

float ChunkReader::f32() {
    const uint32_t bits = u32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float ChunkReader::finite(const char* what) {
    const float value = f32();
    if (!std::isfinite(value)) {
        damaged(std::string(what) + " is not a finite number");
    }
    return value;
}

std::string ChunkReader::text() {
    const size_t start = pos_;
    while (pos_ < end_ && data_[pos_] != '\n') {
        ++pos_;
    }
    if (pos_ == end_) {
        damaged("a name at byte " + std::to_string(start) + " has no end");
    }
    ++pos_;
    return std::string(reinterpret_cast<const char*>(data_ + start), pos_ - 1 - start);
}

void ChunkReader::skip(uint64_t bytes, const char* what) {
    need(bytes, what);
    pos_ += static_cast<size_t>(bytes);
}

std::pair<uint16_t, ChunkReader> ChunkReader::chunk() {
    const size_t start = pos_;
    need(kChunkHeaderBytes, "a chunk header");
    const uint16_t id = u16();
    const uint32_t length = u32();
    if (length < kChunkHeaderBytes || length - kChunkHeaderBytes > remaining()) {
        damaged("chunk " + chunkName(id) + " at byte " + std::to_string(start) +
                " runs past the end of its parent");
    }
    ChunkReader contents(data_, pos_, start + length, swap_);
    pos_ = start + length;
    return {id, contents};
}

void ChunkReader::expectEnd(uint16_t id) const {
    if (!atEnd()) {
        damaged("chunk " + chunkName(id) + " has " + std::to_string(remaining()) +
                " bytes the format does not account for");
    }
}

uint64_t ChunkReader::read(int bytes) {
    need(static_cast<uint64_t>(bytes), "a value");
    uint64_t value = 0;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (!swap_) {  // the common case, and the bulk of a mesh: indices
        std::memcpy(&value, data_ + pos_, static_cast<size_t>(bytes));
        pos_ += static_cast<size_t>(bytes);
        return value;
    }
#endif
    for (int i = 0; i < bytes; ++i) {
        const int shift = swap_ ? 8 * (bytes - 1 - i) : 8 * i;
        value |= static_cast<uint64_t>(data_[pos_ + i]) << shift;
    }
    pos_ += static_cast<size_t>(bytes);
    return value;
}

}  // namespace vantor
