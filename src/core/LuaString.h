#pragma once

#include <string>

namespace vantor {

// A Lua single-quoted string literal holding exactly `value`: a quote, a
// backslash or a control character inside is escaped, so no text can break
// out of its string, while ordinary names give exactly 'name'. Every text the
// engine writes into a Lua statement goes through this.
std::string quoteLuaString(const std::string& value);

}  // namespace vantor
