#include "script/ScriptCall.h"

#include <OgreStringConverter.h>

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

ScriptCall::ScriptCall(std::string function) : function_(std::move(function)) {}

ScriptCall& ScriptCall::integer(long long value) {
    args_.push_back(std::to_string(value));
    return *this;
}

ScriptCall& ScriptCall::real(float value) {
    args_.push_back(Ogre::StringConverter::toString(value));
    return *this;
}

ScriptCall& ScriptCall::text(const std::string& value) {
    args_.push_back(quoteLuaString(value));
    return *this;
}

ScriptCall& ScriptCall::list(const std::vector<std::string>& values) {
    std::string items = "{";
    for (size_t i = 0; i < values.size(); ++i) {
        if (i) {
            items += ", ";
        }
        items += quoteLuaString(values[i]);
    }
    items += "}";
    args_.push_back(items);
    return *this;
}

std::string ScriptCall::str() const {
    std::string out = function_ + "(";
    for (size_t i = 0; i < args_.size(); ++i) {
        if (i) {
            out += ", ";
        }
        out += args_[i];
    }
    out += ")";
    return out;
}

}  // namespace vantor
