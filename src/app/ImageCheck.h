#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vantor {

// The size an image file declares in its header.
struct ImageSize {
    uint64_t width = 0;
    uint64_t height = 0;
    uint64_t depth = 1;  // slices of a volume texture
    uint64_t faces = 1;  // six for a cube map, times the layers of an array
};

// Reads the declared size from the header of the image formats OGRE's codecs
// decode (PNG, JPEG, BMP, GIF, PSD, TGA, HDR, PNM, PIC, DDS, KTX, PKM, PVR,
// ASTC). `extension` (lower case, without the dot) identifies TGA, which has
// no signature. Nothing for a format it does not know; that file is left to
// the codec.
std::optional<ImageSize> readImageSize(const uint8_t* data, size_t size,
                                       const std::string& extension);

// Checks an image file's declared size against the texture limits before a
// codec allocates for it (a header claiming 65535 x 65535 pixels asks for
// 16 GB). Returns the empty text when it may be decoded, otherwise why not,
// to follow the file's name in a log line ("is too large: ...").
std::string checkImageFile(const uint8_t* data, size_t size, const std::string& extension);

}  // namespace vantor
