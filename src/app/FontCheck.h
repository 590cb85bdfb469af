#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vantor {

// What checkFontScript hands back: the script text for OGRE and one problem
// text per font it had to replace.
struct FontScriptCheck {
    std::string text;
    std::vector<std::string> problems;
};

// Reads a file from the resource groups by name; nothing when it is missing,
// larger than `limit` bytes or refused, and then `problem` says which.
using ResourceReader = std::function<std::optional<std::string>(
    const std::string& name, size_t limit, std::string& problem)>;

// Checks every font a .fontdef script defines before OGRE can load one. OGRE
// loads a font when text is first drawn with it, inside the frame; a font
// that fails there (a damaged or missing font file, a glyph texture larger
// than memory allows) leaves half-made resources behind and fails again at
// every later frame, which ends the game. So each font is tried here, as
// OGRE will build it: a TrueType file must open in FreeType at the font's
// size, render its code points into a texture within kMaxTextureSide, and
// stay within the glyph size and code point limits; an image font's picture
// must exist and be within the texture limits.
//
// A font that fails is kept under its name (overlays refer to it) but turned
// into an image font on `blankTexture`, a texture of one transparent pixel:
// its text is not drawn and the rest of the game goes on. Returns the script
// unchanged when every font passes.
FontScriptCheck checkFontScript(const std::string& script, const ResourceReader& read,
                                const std::string& blankTexture);

}  // namespace vantor
