#pragma once

#include <string>

namespace vantor {

// OGRE's overlay captions decode their text as UTF-8 and throw on a malformed
// sequence. Script texts are bytes and may come from files in a legacy 8-bit
// encoding, so every text bound for an overlay passes through here first.

// Code points of `text`: well-formed UTF-8 sequences decode as such, every
// other byte stands for the code point of the same value (Latin-1).
std::u32string decodeDisplayText(const std::string& text);

// `text` as well-formed UTF-8, by the same reading as decodeDisplayText.
// Texts that are already well-formed come back unchanged.
std::string toDisplayText(const std::string& text);

// Appends the UTF-8 form of one code point (at most U+10FFFF).
void appendUtf8(std::string& out, char32_t codePoint);

// True for the second to last bytes of a UTF-8 sequence: texts are cut and
// shortened only in front of other bytes.
inline bool isUtf8ContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace vantor
