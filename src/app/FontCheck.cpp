#include "app/FontCheck.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "app/AssetLimits.h"

namespace vantor {

namespace {

// Code points beyond Unicode; OGRE's glyph loop would never end on a range
// reaching 0xFFFFFFFF.
constexpr uint64_t kLastCodePoint = 0x10FFFF;
// What OGRE renders when a TrueType font names no code points.
constexpr uint32_t kDefaultFirst = 33;
constexpr uint32_t kDefaultLast = 166;
constexpr uint32_t kDefaultSpacer = 5;
constexpr double kPointsPerInch = 72.0;
// Beyond any screen; keeps the resolution a number FreeType's type holds.
constexpr double kMaxResolution = 1e5;

struct Token {
    std::string text;  // "{", "}", "\n" or a word
    size_t offset;
};

// Splits a script into words, braces and line ends, leaving out comments;
// quoted words lose their quotes.
std::vector<Token> tokenize(const std::string& s) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '/' && i + 1 < s.size() && s[i + 1] == '/') {
            while (i < s.size() && s[i] != '\n') {
                ++i;
            }
        } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
            const size_t end = s.find("*/", i + 2);
            i = end == std::string::npos ? s.size() : end + 2;
        } else if (c == '\n' || c == '{' || c == '}') {
            tokens.push_back({std::string(1, c), i++});
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '"') {
            const size_t end = s.find('"', i + 1);
            const size_t stop = end == std::string::npos ? s.size() : end;
            tokens.push_back({s.substr(i + 1, stop - i - 1), i});
            i = stop + 1;
        } else {
            const size_t start = i;
            while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i])) && s[i] != '{' &&
                   s[i] != '}') {
                ++i;
            }
            tokens.push_back({s.substr(start, i - start), start});
        }
    }
    return tokens;
}

struct FontDef {
    std::string name;
    size_t open = 0;   // offset of its "{"
    size_t close = 0;  // offset of its "}"
    std::string type = "truetype";
    std::string source;
    double size = 0;
    double resolution = 0;
    uint32_t spacer = kDefaultSpacer;
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    bool badRange = false;
};

// A measure for a log line, without a cast that could overflow.
std::string wholeNumber(double value) {
    return value < 1e15 ? std::to_string(static_cast<int64_t>(value)) : "more than 10^15";
}

double number(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && std::isfinite(value) ? value : -1;
}

// Every font block of the script, with the attributes the check needs.
std::vector<FontDef> parseFonts(const std::vector<Token>& tokens) {
    std::vector<FontDef> fonts;
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i].text != "font") {
            continue;
        }
        FontDef font;
        font.name = tokens[i + 1].text;
        size_t j = i + 2;
        while (j < tokens.size() && tokens[j].text != "{") {
            ++j;  // line ends, or ": parent"
        }
        if (j == tokens.size()) {
            break;
        }
        font.open = tokens[j].offset;
        std::vector<std::string> line;
        int depth = 0;
        for (++j; j < tokens.size(); ++j) {
            const std::string& t = tokens[j].text;
            if (t == "{") {
                ++depth;
            } else if (t == "}" && depth-- == 0) {
                break;
            } else if (t == "\n") {
                line.clear();
            } else {
                line.push_back(t);
                if (line.size() == 2 && line[0] == "type") {
                    font.type = t;
                } else if (line.size() == 2 && line[0] == "source") {
                    font.source = t;
                } else if (line.size() == 2 && line[0] == "size") {
                    font.size = number(t);
                } else if (line.size() == 2 && line[0] == "resolution") {
                    font.resolution = number(t);
                } else if (line.size() == 2 && line[0] == "character_spacer") {
                    font.spacer = static_cast<uint32_t>(std::clamp(number(t), 0.0, 1e6));
                } else if (line.size() >= 2 && line[0] == "code_points") {
                    const size_t dash = t.find('-');
                    const double first = number(t.substr(0, dash));
                    const double last = dash == std::string::npos ? -1 : number(t.substr(dash + 1));
                    if (first < 0 || last < 0 || last > kLastCodePoint) {
                        font.badRange = true;
                    } else if (first <= last) {
                        font.ranges.emplace_back(static_cast<uint64_t>(first),
                                                 static_cast<uint64_t>(last));
                    }
                }
            }
        }
        if (j == tokens.size()) {
            break;  // no closing brace: OGRE's compiler reports it
        }
        font.close = tokens[j].offset;
        fonts.push_back(font);
        i = j;
    }
    return fonts;
}

struct FreeTypeLibrary {
    FT_Library library = nullptr;
    FreeTypeLibrary() {
        if (FT_Init_FreeType(&library) != 0) {
            library = nullptr;
        }
    }
    ~FreeTypeLibrary() {
        if (library) {
            FT_Done_FreeType(library);
        }
    }
};

// Renders the font's glyphs as OGRE does and works out the side of the
// glyph texture it will make. Returns a problem text or the empty text.
std::string tryTrueType(const FontDef& font, const std::string& file) {
    FreeTypeLibrary ft;
    FT_Face face = nullptr;
    if (!ft.library || FT_New_Memory_Face(ft.library, reinterpret_cast<const FT_Byte*>(file.data()),
                                          static_cast<FT_Long>(file.size()), 0, &face) != 0) {
        return font.source + " is damaged: it does not open as a font";
    }
    std::unique_ptr<FT_FaceRec_, decltype(&FT_Done_Face)> owner(face, &FT_Done_Face);
    const auto dpi = static_cast<FT_UInt>(font.resolution);
    if (FT_Set_Char_Size(face, static_cast<FT_F26Dot6>(font.size * 64), 0, dpi, dpi) != 0) {
        return font.source + " is damaged: it cannot be set to size " + std::to_string(font.size);
    }
    FT_Pos maxHeight = 0;
    FT_Pos maxWidth = 0;
    uint64_t glyphs = 0;
    for (const auto& [first, last] : font.ranges) {
        for (uint64_t cp = first; cp <= last; ++cp, ++glyphs) {
            if (FT_Load_Char(face, static_cast<FT_ULong>(cp), FT_LOAD_RENDER) != 0) {
                continue;  // OGRE leaves such a glyph out too
            }
            const FT_GlyphSlot g = face->glyph;
            maxHeight = std::max<FT_Pos>(maxHeight, 2 * (static_cast<FT_Pos>(g->bitmap.rows) << 6) -
                                                        g->metrics.horiBearingY);
            maxWidth =
                std::max<FT_Pos>(maxWidth, (g->advance.x >> 6) + (g->metrics.horiBearingX >> 6));
        }
    }
    const double cell = static_cast<double>(maxWidth + font.spacer) *
                        static_cast<double>((maxHeight >> 6) + font.spacer);
    const double side = std::sqrt(cell * static_cast<double>(glyphs)) +
                        static_cast<double>(std::max<FT_Pos>(maxWidth, maxHeight >> 6));
    if (!(side <= kMaxTextureSide)) {
        return "its glyphs need a texture of about " + wholeNumber(side) +
               " pixels on a side, more than the " + std::to_string(kMaxTextureSide) + " allowed";
    }
    return "";
}

// Why a font cannot be used, or the empty text.
std::string checkFont(FontDef font, const ResourceReader& read) {
    if (font.source.empty()) {
        return "it names no font file";
    }
    std::string problem;
    if (font.type == "image") {
        // The picture is checked like any texture when it is read.
        return read(font.source, kMaxImageFileBytes, problem) ? "" : problem;
    }
    if (font.badRange) {
        return "its code points go beyond Unicode";
    }
    if (font.ranges.empty()) {
        font.ranges.emplace_back(kDefaultFirst, kDefaultLast);
    }
    uint64_t codePoints = 0;
    for (const auto& [first, last] : font.ranges) {
        codePoints += last - first + 1;
    }
    if (codePoints > kMaxFontCodePoints) {
        return "it renders " + std::to_string(codePoints) + " code points, more than the " +
               std::to_string(kMaxFontCodePoints) + " allowed";
    }
    // OGRE reads the resolution as a whole number, and FreeType takes 0 as 72
    // dots per inch.
    font.resolution = std::floor(font.resolution);
    const double dpi = font.resolution >= 1 ? font.resolution : kPointsPerInch;
    const double pixels = font.size * dpi / kPointsPerInch;
    if (!(font.size > 0) || font.resolution < 0 || font.resolution > kMaxResolution ||
        pixels > kMaxGlyphPixels) {
        return "its glyphs would be " + wholeNumber(pixels) + " pixels high; at most " +
               std::to_string(kMaxGlyphPixels) + " are allowed";
    }
    const std::optional<std::string> file = read(font.source, kMaxFontFileBytes, problem);
    return file ? tryTrueType(font, *file) : problem;
}

}  // namespace

FontScriptCheck checkFontScript(const std::string& script, const ResourceReader& read,
                                const std::string& blankTexture) {
    FontScriptCheck result;
    result.text = script;
    const std::vector<FontDef> fonts = parseFonts(tokenize(script));
    // Replaced from the last font back, so earlier offsets stay valid.
    for (auto font = fonts.rbegin(); font != fonts.rend(); ++font) {
        const std::string problem = checkFont(*font, read);
        if (problem.empty()) {
            continue;
        }
        result.problems.insert(result.problems.begin(), "font " + font->name + ": " + problem);
        result.text.replace(font->open, font->close + 1 - font->open,
                            "{\n    type image\n    source " + blankTexture + "\n}");
    }
    return result;
}

}  // namespace vantor
