#pragma once

#include <cstddef>
#include <cstdint>

namespace vantor {

// The largest assets the engine loads. Each bound keeps what one file can
// make the engine allocate within what a game can use, so a damaged or
// oversized file is refused with a log line instead of exhausting memory.
// docs/scripting.md ("Limits and damaged files") lists them for level authors.

// A .mesh file, in bytes; it is read into memory whole before it is checked.
constexpr size_t kMaxMeshFileBytes = size_t{256} << 20;

// A texture image: pixels on a side (width, height or depth), and pixels in
// all its faces and depth slices together. An RGBA image at the limit takes
// 128 MB before mipmaps; a 4096 x 4096 picture and a cube of six 2048 x 2048
// faces both fit.
constexpr uint32_t kMaxTextureSide = 4096;
constexpr uint64_t kMaxTexturePixels = uint64_t{32} << 20;
// An image file, in bytes; it is read into memory whole before it is decoded.
constexpr size_t kMaxImageFileBytes = size_t{256} << 20;

// Particles one particle system may hold at once, and emitters it may emit.
// A particle costs about 200 bytes with its billboard.
constexpr uint32_t kMaxParticleQuota = 100000;
constexpr uint32_t kMaxEmittedEmitterQuota = 1000;

// A TrueType font: the glyph height in pixels (size x resolution / 72), the
// number of code points it renders, and its font file in bytes. Its glyph
// texture must also fit kMaxTextureSide.
constexpr uint32_t kMaxGlyphPixels = 256;
constexpr uint32_t kMaxFontCodePoints = 8192;
constexpr size_t kMaxFontFileBytes = size_t{64} << 20;

}  // namespace vantor
