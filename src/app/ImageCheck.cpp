#include "app/ImageCheck.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "app/AssetLimits.h"

namespace vantor {

namespace {

// Bounds-checked reads from a header; a header cut short reads as zeros,
// which no size check passes for, and the codec then refuses the file.
struct Bytes {
    const uint8_t* data;
    size_t size;

    uint64_t le(size_t at, int count) const {
        uint64_t value = 0;
        for (int i = 0; i < count; ++i) {
            value |= static_cast<uint64_t>(byte(at + static_cast<size_t>(i))) << (8 * i);
        }
        return value;
    }
    uint64_t be(size_t at, int count) const {
        uint64_t value = 0;
        for (int i = 0; i < count; ++i) {
            value = (value << 8) | byte(at + static_cast<size_t>(i));
        }
        return value;
    }
    uint8_t byte(size_t at) const { return at < size ? data[at] : 0; }
    bool startsWith(const char* magic, size_t at = 0) const {
        const size_t length = std::strlen(magic);
        return at + length <= size && std::memcmp(data + at, magic, length) == 0;
    }
};

ImageSize flat(uint64_t width, uint64_t height) {
    ImageSize s;
    s.width = width;
    s.height = height;
    return s;
}

std::optional<ImageSize> jpegSize(const Bytes& b) {
    size_t at = 2;
    while (at + 4 <= b.size) {
        if (b.byte(at) != 0xFF) {
            return std::nullopt;
        }
        const uint8_t marker = b.byte(at + 1);
        if (marker == 0xFF) {
            ++at;  // fill byte
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;  // markers without a length
            continue;
        }
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            return flat(b.be(at + 7, 2), b.be(at + 5, 2));
        }
        if (marker == 0xD9 || marker == 0xDA) {
            return std::nullopt;  // image data before any frame header
        }
        at += 2 + b.be(at + 2, 2);
    }
    return std::nullopt;
}

// Reads the decimal number at `at` into `number` (it stops growing past
// 2^40, which no limit comes near); false when no digit is there.
bool decimal(const Bytes& b, size_t& at, uint64_t& number) {
    if (at >= b.size || !std::isdigit(b.byte(at))) {
        return false;
    }
    while (at < b.size && std::isdigit(b.byte(at)) && number < (uint64_t{1} << 40)) {
        number = number * 10 + static_cast<uint64_t>(b.byte(at++) - '0');
    }
    return true;
}

// The first two numbers after the signature of a PNM file, skipping blanks
// and comments.
std::optional<ImageSize> pnmSize(const Bytes& b) {
    size_t at = 2;
    uint64_t numbers[2] = {0, 0};
    for (uint64_t& number : numbers) {
        while (at < b.size && (std::isspace(b.byte(at)) || b.byte(at) == '#')) {
            if (b.byte(at) == '#') {
                while (at < b.size && b.byte(at) != '\n') {
                    ++at;
                }
            } else {
                ++at;
            }
        }
        if (!decimal(b, at, number)) {
            return std::nullopt;
        }
    }
    return flat(numbers[0], numbers[1]);
}

// Radiance HDR: text lines up to a blank one, then "-Y height +X width" (or
// another orientation of the two axes).
std::optional<ImageSize> hdrSize(const Bytes& b) {
    size_t at = 0;
    bool blank = false;
    while (at < b.size && !blank) {
        const size_t start = at;
        while (at < b.size && b.byte(at) != '\n') {
            ++at;
        }
        blank = at == start;
        ++at;
    }
    uint64_t numbers[2] = {0, 0};
    for (uint64_t& number : numbers) {
        while (at < b.size && !std::isdigit(b.byte(at)) && b.byte(at) != '\n') {
            ++at;
        }
        if (!decimal(b, at, number)) {
            return std::nullopt;
        }
    }
    return flat(numbers[1], numbers[0]);
}

std::optional<ImageSize> ddsSize(const Bytes& b) {
    constexpr uint64_t kVolume = 0x200000;  // DDSCAPS2_VOLUME
    constexpr uint64_t kCube = 0x200;       // DDSCAPS2_CUBEMAP
    ImageSize s = flat(b.le(16, 4), b.le(12, 4));
    const uint64_t caps2 = b.le(112, 4);
    if (caps2 & kVolume) {
        s.depth = b.le(24, 4);
    }
    if (caps2 & kCube) {
        s.faces = 6;
    }
    if (b.startsWith("DX10", 84)) {
        constexpr uint64_t kCubeFlag = 0x4;  // D3D10_RESOURCE_MISC_TEXTURECUBE
        const uint64_t layers = b.le(128 + 12, 4);
        s.faces = (b.le(128 + 8, 4) & kCubeFlag ? 6 : 1) * (layers == 0 ? 1 : layers);
    }
    return s;
}

}  // namespace

std::optional<ImageSize> readImageSize(const uint8_t* data, size_t size,
                                       const std::string& extension) {
    const Bytes b{data, size};
    if (b.startsWith("\x89PNG\r\n\x1a\n")) {
        return flat(b.be(16, 4), b.be(20, 4));
    }
    if (b.startsWith("\xff\xd8")) {
        return jpegSize(b);
    }
    if (b.startsWith("BM")) {
        if (b.le(14, 4) == 12) {  // the old OS/2 header
            return flat(b.le(18, 2), b.le(20, 2));
        }
        const auto height = static_cast<int32_t>(b.le(22, 4));
        const uint64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
        return flat(static_cast<uint32_t>(b.le(18, 4)), rows);
    }
    if (b.startsWith("GIF87a") || b.startsWith("GIF89a")) {
        return flat(b.le(6, 2), b.le(8, 2));
    }
    if (b.startsWith("8BPS")) {
        return flat(b.be(18, 4), b.be(14, 4));
    }
    if (b.startsWith("#?RADIANCE") || b.startsWith("#?RGBE")) {
        return hdrSize(b);
    }
    if (b.startsWith("P5") || b.startsWith("P6")) {
        return pnmSize(b);
    }
    if (b.be(0, 4) == 0x5380F634 && b.startsWith("PICT", 88)) {
        return flat(b.be(92, 2), b.be(94, 2));
    }
    if (b.startsWith("DDS ")) {
        return ddsSize(b);
    }
    if (b.startsWith("\xabKTX 11\xbb\r\n\x1a\n")) {
        ImageSize s = flat(b.le(36, 4), b.le(40, 4));
        s.depth = std::max<uint64_t>(b.le(44, 4), 1);
        s.faces = std::max<uint64_t>(b.le(52, 4), 1) * std::max<uint64_t>(b.le(48, 4), 1);
        return s;
    }
    if (b.startsWith("PKM ")) {
        return flat(b.be(12, 2), b.be(14, 2));
    }
    if (b.startsWith("PVR\x03")) {
        ImageSize s = flat(b.le(28, 4), b.le(24, 4));
        s.depth = std::max<uint64_t>(b.le(32, 4), 1);
        s.faces = std::max<uint64_t>(b.le(36, 4), 1) * std::max<uint64_t>(b.le(40, 4), 1);
        return s;
    }
    if (b.le(0, 4) == 0x5CA1AB13) {  // ASTC
        ImageSize s = flat(b.le(7, 3), b.le(10, 3));
        s.depth = std::max<uint64_t>(b.le(13, 3), 1);
        return s;
    }
    if (extension == "tga") {
        return flat(b.le(12, 2), b.le(14, 2));
    }
    return std::nullopt;
}

std::string checkImageFile(const uint8_t* data, size_t size, const std::string& extension) {
    const std::optional<ImageSize> s = readImageSize(data, size, extension);
    if (!s) {
        return "";
    }
    const std::string dimensions =
        std::to_string(s->width) + " x " + std::to_string(s->height) +
        (s->depth > 1 ? " x " + std::to_string(s->depth) : "") + " pixels" +
        (s->faces > 1 ? " in " + std::to_string(s->faces) + " faces" : "");
    if (s->width > kMaxTextureSide || s->height > kMaxTextureSide || s->depth > kMaxTextureSide) {
        return "is too large: " + dimensions + ", and a texture may have at most " +
               std::to_string(kMaxTextureSide) + " on a side";
    }
    // Width, height and depth are at most 2^12 each here, and faces are
    // checked first, so the product cannot overflow 64 bits.
    if (s->faces > kMaxTexturePixels ||
        s->width * s->height * s->depth * s->faces > kMaxTexturePixels) {
        return "is too large: " + dimensions + ", and a texture may have at most " +
               std::to_string(kMaxTexturePixels) + " pixels in all";
    }
    return "";
}

}  // namespace vantor
