#include "core/LuaString.h"

#include <cstdio>

namespace vantor {

std::string quoteLuaString(const std::string& value) {
    std::string out;
    out.reserve(value.size() + 2);
    out += '\'';
    for (unsigned char c : value) {
        switch (c) {
            case '\'':
                out += "\\'";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    // Three-digit decimal escapes cannot swallow a following digit.
                    char escaped[5];
                    std::snprintf(escaped, sizeof escaped, "\\%03u", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '\'';
    return out;
}

}  // namespace vantor
