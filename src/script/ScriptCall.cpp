#include "script/ScriptCall.h"

#include <OgreStringConverter.h>

#include "core/LuaString.h"

namespace vantor {

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
