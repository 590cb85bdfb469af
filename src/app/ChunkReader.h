#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace vantor {

// Reading OGRE's binary chunk files (.mesh, .skeleton) for the checks that
// run before OGRE reads them. A chunk is a 16-bit identifier, a 32-bit length
// that includes this six-byte header, and its contents.

// Thrown by the readers below, and by the checks, for a file that cannot be
// read as its format says; the text says what is wrong.
struct DamagedFile : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void damaged(const std::string& what);

// A chunk identifier as the file format documents them, such as "0x9000".
std::string chunkName(uint16_t id);

constexpr size_t kChunkHeaderBytes = 6;

// Reads little- or big-endian values from one byte range of a file, and never
// past its end; throws DamagedFile instead.
class ChunkReader {
public:
    ChunkReader(const uint8_t* data, size_t begin, size_t end, bool swap)
        : data_(data), pos_(begin), end_(end), swap_(swap) {}

    // The reader after a file's header (the chunk 0x1000 and the format's
    // version text, returned in `version`), or nothing when the data does not
    // start with one. Files written on big-endian machines are read swapped.
    static std::optional<ChunkReader> afterHeader(const uint8_t* data, size_t size,
                                                  std::string& version);

    size_t pos() const { return pos_; }
    size_t remaining() const { return end_ - pos_; }
    bool atEnd() const { return pos_ == end_; }
    const uint8_t* bytes() const { return data_ + pos_; }
    bool swapped() const { return swap_; }

    void need(uint64_t bytes, const char* what) const;
    uint8_t u8();
    uint16_t u16() { return static_cast<uint16_t>(read(2)); }
    uint32_t u32() { return static_cast<uint32_t>(read(4)); }
    float f32();
    // A finite number; NaN and infinities would reach bounding boxes.
    float finite(const char* what);
    // A text ended by a newline, as OGRE's serializers write names.
    std::string text();
    void skip(uint64_t bytes, const char* what);

    // The next chunk whose length is trustworthy: its identifier and a reader
    // over its contents, which must lie within this reader's range. This
    // reader moves past the chunk.
    std::pair<uint16_t, ChunkReader> chunk();
    // Every chunk is read to its last byte; anything left over means the
    // serializer would read this chunk differently from the file's layout.
    void expectEnd(uint16_t id) const;

private:
    uint64_t read(int bytes);

    const uint8_t* data_;
    size_t pos_;
    size_t end_;
    bool swap_;
};

}  // namespace vantor
