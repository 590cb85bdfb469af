#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantor {

// SHA-256 (FIPS 180-2). Feed bytes with update() in any number of pieces, then
// call finish() once; the object is spent afterwards.
class Sha256 {
public:
    using Digest = std::array<uint8_t, 32>;

    Sha256();

    void update(const void* data, size_t size);
    Digest finish();

    // The digest of `data` as 64 lowercase hexadecimal digits, two per byte in
    // digest order.
    static std::string hexDigest(std::string_view data);
    static std::string toHex(const Digest& digest);

private:
    void compress(const uint8_t* block);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> block_{};
    size_t blockUsed_ = 0;  // bytes waiting in block_
    uint64_t totalBytes_ = 0;
};

}  // namespace vantor
